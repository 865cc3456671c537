#pragma once

#include <QString>

// plocate's database of a catalogue's paths as plocate takes them: the folder and the name,
// "/" between folders, built with plocate-build (`build`). False when it could not be made.
bool buildLocateDatabase(const QString& catalogue, const QString& database, const QString& build);
