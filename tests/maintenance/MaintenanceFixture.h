#pragma once

#include "maintenance/IDiscDrive.h"
#include "tests/support/TestCatalogue.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <functional>

// What the dialogs get from the main window, over a temporary catalogue: its session and a
// filter-list refresh that is only counted.
class FakeHost
{
  public:
    Catalogue& session() { return catalogue.session; }
    Connection& connection() { return catalogue.connection; }
    Query& workQuery() { return *catalogue.work; }
    std::function<void()> refresh()
    {
        return [this] { ++refreshes; };
    }

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
        if (slowMount) {
            // A drive spinning up: the event loop runs until stopWaiting.
            waitingForMount = true;
            QEventLoop wait;
            stopMount = [&wait] { wait.quit(); };
            wait.exec();
            waitingForMount = false;
            return false;
        }
        if (!present)
            ++beeps;
        return present;
    }
    void stopWaiting() override
    {
        if (stopMount)
            stopMount();
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
    bool slowMount = false;
    bool waitingForMount = false;
    std::function<void()> stopMount;
};

inline const QChar kDrive = QLatin1Char('e');
