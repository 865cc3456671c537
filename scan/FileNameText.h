#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The text of a file name as the file system stores it. Names that are valid UTF-8 are read as
// UTF-8; any other name comes from an older system and is read as Windows-1252 (Latin-1 with
// the printable characters of 0x80-0x9F), so "caf\xe9.txt" reads "café.txt". Every byte maps
// to its own character, so two such names never read alike.
//
// A "\" is the catalogue's folder separator, but Linux (and Rock Ridge, UDF, tar) allow it inside
// a name: there it becomes U+2216 SET MINUS "∖", which looks like it, never separates folders and
// is searched for as itself. Each "∖" of a catalogued name stands for a "\" of the real one.
QString fileNameText(const char* name, qsizetype size);
inline QString fileNameText(const QByteArray& name)
{
    return fileNameText(name.constData(), name.size());
}

constexpr char16_t kBackslashInName = 0x2216;

// A name already read as text, with each "\" in it turned into "∖"; what fileNameText does last.
QString nameWithoutSeparator(QString name);

// The names of a "/"-separated path as an archive or an image records it, each read as
// fileNameText reads a name; empty steps are left out.
QStringList pathNameTexts(QByteArrayView path);
