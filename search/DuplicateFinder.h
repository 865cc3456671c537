#pragma once

#include <QString>
#include <QtGlobal>
#include <vector>

class Connection;

// Files kept on more than one disc: the same name (letters A to Z of either case, as the
// catalogue compares names) and the same size on two or more discs.
namespace DuplicateFinder
{
struct Copy {
    QString disc; // the disc label, C0001
    QString path;
    QString name;
    QString date;
    qint64 size = 0;
    int group = 0; // copies of one file share it; counts from 0 in the order listed
};

// Every copy of every such file of at least minSize bytes, the largest files first, then by
// name; the copies of a file by disc and folder.
std::vector<Copy> find(Connection& connection, qint64 minSize);
// How many copies find() lists, without reading them.
qint64 count(Connection& connection, qint64 minSize);
} // namespace DuplicateFinder
