#pragma once

#include "catalogue/Connection.h"
#include "catalogue/Query.h"
#include "maintenance/ICatalogueHost.h"
#include "maintenance/IDiscDrive.h"
#include "tests/support/TestCatalogue.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// The main window as the dialogs see it, over a temporary catalogue.
class FakeHost : public ICatalogueHost
{
  public:
    Connection& connection() override { return catalogue.connection; }
    Query& workQuery() override { return *catalogue.work; }
    void RefreshFilters() override { ++refreshes; }

    TestCatalogue catalogue;
    int refreshes = 0;
};

// A drive whose disc is a temporary folder.
class FakeDrive : public IDiscDrive
{
  public:
    bool DiskInDrive(QChar letter) override
    {
        asked.append(letter);
        if (!present)
            ++beeps;
        return present;
    }
    QString GetVolumeLabel(QChar) override { return label; }
    QString rootOf(QChar letter) override { return letter == QLatin1Char('e') ? disc.path() : QString(); }

    // Adds an empty file below the disc's root; relative uses "/".
    void addFile(const QString& relative, const QByteArray& content = {})
    {
        const QString path = disc.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(content);
    }
    void addFiles(int count, const QString& folder = QStringLiteral("many"))
    {
        for (int i = 0; i < count; ++i)
            addFile(QStringLiteral("%1/f%2.dat").arg(folder).arg(i));
    }

    QTemporaryDir disc;
    bool present = true;
    QString label = QStringLiteral("MY_DISC");
    QString asked;
    int beeps = 0;
};

inline const QChar kDrive = QLatin1Char('e');
