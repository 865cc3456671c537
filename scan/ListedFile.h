#pragma once

#include <QString>
#include <vector>

// One file found without a folder walk (on a disc image or inside an archive), with what a walk
// of the same files would report.
struct ListedFile {
    QString path; // drive-relative folder, "\" or "\docs\"
    QString name;
    qint64 size = 0;
    qint64 modified = 0; // seconds since the epoch, UTC
};

using ListedFiles = std::vector<ListedFile>;
