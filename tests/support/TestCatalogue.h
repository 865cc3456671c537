#pragma once

#include "catalogue/Catalogue.h"

#include <QString>
#include <QTemporaryDir>
#include <memory>

// A fresh, empty catalogue in a temporary folder, with its session connected; `connection` and
// `work` are the session's.
class TestCatalogue
{
  public:
    TestCatalogue();
    QString path() const { return dir.filePath(QStringLiteral("archive.mdb")); }

    // Inserts a disc row and returns its id; files are added with addFile.
    qint64 addDisc(const QString& type, const QString& label = {}, qint64 id = 0);
    qint64 addFile(qint64 disc, const QString& path, const QString& name, qint64 size = 0,
                   const QString& date = QStringLiteral("2020-01-01 00:00:00"));
    qint64 count(const QString& table);
    // Runs a one-value select directly.
    QVariant scalar(const QString& sql);

    QTemporaryDir dir;
    Catalogue session;
    Connection& connection;
    Query* const work;
};
