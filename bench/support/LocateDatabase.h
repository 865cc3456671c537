#pragma once

#include <QString>
#include <QStringList>

// plocate's database of a catalogue's paths as plocate takes them: the folder and the name,
// "/" between folders, built with plocate-build (`build`). False when it could not be made.
bool buildLocateDatabase(const QString& catalogue, const QString& database, const QString& build);

// plocate counting, without case, the paths of the database that hold `term`.
inline QStringList locateCount(const QString& plocate, const QString& database, const char* term)
{
    return {plocate,
            QStringLiteral("-d"),
            database,
            QStringLiteral("-c"),
            QStringLiteral("-i"),
            QString::fromLatin1(term)};
}
