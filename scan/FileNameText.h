#pragma once

#include <QByteArray>
#include <QString>

// The text of a file name as the file system stores it. Names that are valid UTF-8 are read as
// UTF-8; any other name comes from an older system and is read as Windows-1252 (Latin-1 with
// the printable characters of 0x80-0x9F), so "caf\xe9.txt" reads "café.txt". Every byte maps
// to its own character, so two such names never read alike.
QString fileNameText(const char* name, qsizetype size);
inline QString fileNameText(const QByteArray& name)
{
    return fileNameText(name.constData(), name.size());
}
