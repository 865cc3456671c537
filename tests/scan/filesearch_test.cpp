#include "common/TessaroError.h"
#include "scan/FileNameText.h"
#include "scan/UnFileSearch.h"
#include "scan/WildcardPattern.h"
#include "tests/scan/FixtureTree.h"

#include <QDateTime>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <dirent.h>
#include <sys/mount.h>
#include <sys/resource.h>

namespace
{
struct Reported {
    QString drive, path, name;
    qint64 size;
    LocalDateTime date;
};

qint64 utc(int y, int mo, int d, int h, int mi, int s)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC).toSecsSinceEpoch();
}

// An independent walk by path strings: what the searcher must find, in the order it must find it.
void referenceWalk(const QByteArray& folder, const QString& path, QStringList& out)
{
    DIR* dir = opendir(folder.constData());
    if (!dir)
        return;
    while (dirent* e = readdir(dir)) {
        const QByteArray full = folder + '/' + e->d_name;
        struct stat st;
        if (lstat(full.constData(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            if (e->d_name[0] != '.')
                referenceWalk(full, path + fileNameText(QByteArray(e->d_name)) + QLatin1Char('\\'), out);
        } else {
            out.append(path + fileNameText(QByteArray(e->d_name)));
        }
    }
    closedir(dir);
}

// Permission checks apply to root only through another effective user.
class Unprivileged
{
  public:
    Unprivileged() : switched_(geteuid() == 0 && seteuid(65534) == 0) {}
    ~Unprivileged()
    {
        if (switched_)
            (void)seteuid(0);
    }
    bool denied() const { return geteuid() != 0; }

  private:
    bool switched_;
};
} // namespace

class FileSearchTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString root;
    std::vector<Reported> reported;

    TFileSearcher searcher()
    {
        TFileSearcher s([](QChar) { return QString(); });
        s.mapDrive(QLatin1Char('x'), root);
        return s;
    }

    void record(TFileSearcher& s)
    {
        reported.clear();
        s.OnFile = [this](const QString& drive, const QString& path, const QString& name, qint64 size,
                          const LocalDateTime& date) {
            reported.push_back({drive, path, name, size, date});
        };
    }

    const Reported* find(const QString& name) const
    {
        for (const Reported& r : reported)
            if (r.name == name)
                return &r;
        return nullptr;
    }

  private Q_SLOTS:
    void initTestCase()
    {
        qputenv("TZ", "Europe/Rome");
        QVERIFY(dir.isValid());
        root = dir.path() + QStringLiteral("/disc");
        // Readable by the unprivileged user of unreadableFolderIsSkipped.
        QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
        fixture::folder(root, "docs");
        fixture::folder(root, "a/b");
        fixture::folder(root, ".config");
        fixture::folder(root, "links");
        QVERIFY(fixture::file(root, "a.txt", 10, utc(2021, 1, 15, 10, 0, 0)));
        QVERIFY(fixture::file(root, "README", 3, utc(2021, 7, 1, 10, 0, 0)));
        QVERIFY(fixture::file(root, ".hidden", 1));
        QVERIFY(fixture::file(root, "UPPER.TXT", 2));
        QVERIFY(fixture::file(root, "docs/b.doc", 20));
        QVERIFY(fixture::file(root, "a/b/c.txt", 30));
        QVERIFY(fixture::file(root, ".config/settings.txt", 40));
        QVERIFY(fixture::file(root, "bad\xff\xfe.txt", 5));
        // 5 GiB, sparse: more than 32 bits can carry.
        QVERIFY(fixture::file(root, "docs/big.iso", 5LL * 1024 * 1024 * 1024));
        QVERIFY(fixture::file(root, "links/target.txt", 4, utc(2019, 6, 1, 0, 0, 0)));
        QVERIFY(fixture::symlink(root, "links/loop", ".", utc(2020, 3, 1, 0, 0, 0)));
        QVERIFY(fixture::symlink(root, "links/up", "../..", utc(2020, 3, 1, 0, 0, 0)));
        QVERIFY(fixture::symlink(root, "links/file", "target.txt", utc(2020, 3, 1, 0, 0, 0)));
    }

    // QDir cannot remove a name that is not UTF-8.
    void cleanupTestCase() { ::unlink(fixture::at(root, "bad\xff\xfe.txt").constData()); }

    void reportsDrivePathNameAndSize()
    {
        TFileSearcher s = searcher();
        record(s);
        s.Execute(QStringLiteral("x:\\"), QStringLiteral("*.*"), true);

        QCOMPARE(int(reported.size()), 12);
        QCOMPARE(s.FoundFiles.size(), 12);
        for (const Reported& r : reported)
            QCOMPARE(r.drive, QStringLiteral("x:"));
        const Reported* c = find(QStringLiteral("c.txt"));
        QVERIFY(c);
        QCOMPARE(c->path, QStringLiteral("\\a\\b\\"));
        QCOMPARE(c->size, qint64(30));
        QVERIFY(s.FoundFiles.contains(QStringLiteral("\\a\\b\\c.txt")));
        QCOMPARE(find(QStringLiteral("a.txt"))->path, QStringLiteral("\\"));
        QCOMPARE(find(QStringLiteral("README"))->path, QStringLiteral("\\"));
        // Only folders named with a leading dot are skipped, not such files.
        QVERIFY(find(QStringLiteral(".hidden")));
        QVERIFY(!find(QStringLiteral("settings.txt")));
        QCOMPARE(find(QStringLiteral("big.iso"))->size, 5LL * 1024 * 1024 * 1024);
        const Reported* bad = find(QStringLiteral("bad\u00FF\u00FE.txt"));
        QVERIFY(bad);
        QCOMPARE(bad->path, QStringLiteral("\\"));
        // Links are files of their own, never followed: the loop is walked once, with the link's own size.
        QCOMPARE(find(QStringLiteral("loop"))->size, qint64(1));
        QCOMPARE(find(QStringLiteral("up"))->size, qint64(5));
        QCOMPARE(find(QStringLiteral("loop"))->path, QStringLiteral("\\links\\"));

        // Each event's Path and Name agree with the FoundFiles entry of the same moment.
        for (size_t i = 0; i < reported.size(); ++i)
            QCOMPARE(s.FoundFiles.at(qsizetype(i)), reported[i].path + reported[i].name);
        QCOMPARE(s.CountFiles(QStringLiteral("x:\\"), QStringLiteral("*.*"), true), qint64(12));
    }

    void datesUseTheOffsetOfTheirOwnMoment()
    {
        TFileSearcher s = searcher();
        record(s);
        s.Execute(QStringLiteral("x:\\"), QStringLiteral("*.*"), true);
        // Rome: +1 in winter, +2 in summer, whatever the season of the walk.
        QCOMPARE(find(QStringLiteral("a.txt"))->date, (LocalDateTime{2021, 1, 15, 11, 0, 0}));
        QCOMPARE(find(QStringLiteral("README"))->date, (LocalDateTime{2021, 7, 1, 12, 0, 0}));
        // A link's own date, not its target's.
        QCOMPARE(find(QStringLiteral("file"))->date, (LocalDateTime{2020, 3, 1, 1, 0, 0}));
        QCOMPARE(find(QStringLiteral("target.txt"))->date, (LocalDateTime{2019, 6, 1, 2, 0, 0}));
    }

    void ordersDepthFirstAsTheFolderYieldsEntries()
    {
        TFileSearcher s = searcher();
        s.Execute(QStringLiteral("x:\\"), QStringLiteral("*.*"), true);
        QStringList expected;
        referenceWalk(QFile::encodeName(root), QStringLiteral("\\"), expected);
        QCOMPARE(s.FoundFiles, expected);
    }

    void patternsRecursionAndStartFolders()
    {
        TFileSearcher s = searcher();
        record(s);
        s.Execute(QStringLiteral("x:\\"), QStringLiteral("*.txt"), true);
        QStringList names;
        for (const Reported& r : reported)
            names.append(r.name);
        names.sort();
        QCOMPARE(names, (QStringList{QStringLiteral("UPPER.TXT"), QStringLiteral("a.txt"),
                                     QStringLiteral("bad\u00FF\u00FE.txt"), QStringLiteral("c.txt"),
                                     QStringLiteral("target.txt")}));
        QCOMPARE(s.CountFiles(QStringLiteral("x:\\"), QStringLiteral("*.txt"), true), qint64(5));

        s.Execute(QStringLiteral("x:\\"), QStringLiteral("*.*"), false);
        QCOMPARE(s.FoundFiles.size(), 5);
        for (const QString& f : s.FoundFiles)
            QCOMPARE(f.lastIndexOf(QLatin1Char('\\')), 0);
        QCOMPARE(s.CountFiles(QStringLiteral("x:\\"), QStringLiteral("*.*"), false), qint64(5));

        // Upper-case drive, a start folder below the root, the drive as given.
        record(s);
        s.Execute(QStringLiteral("X:\\a\\"), QStringLiteral("*.*"), true);
        QCOMPARE(int(reported.size()), 1);
        QCOMPARE(reported[0].drive, QStringLiteral("X:"));
        QCOMPARE(reported[0].path, QStringLiteral("\\a\\b\\"));
        QCOMPARE(s.FoundFiles, QStringList{QStringLiteral("\\a\\b\\c.txt")});

        QVERIFY(WildcardPattern(QStringLiteral("*.*")).matches(QStringLiteral("README")));
        QVERIFY(WildcardPattern(QStringLiteral("read?e.*")).matches(QStringLiteral("README")));
        QVERIFY(WildcardPattern(QStringLiteral("*.doc;*.iso")).matches(QStringLiteral("big.ISO")));
        QVERIFY(!WildcardPattern(QStringLiteral("*.doc")).matches(QStringLiteral("a.docx")));
        QVERIFY(WildcardPattern(QStringLiteral("a*b*c")).matches(QStringLiteral("aXbYbZc")));
        QVERIFY(!WildcardPattern(QStringLiteral("a*b*c")).matches(QStringLiteral("aXbYbZ")));
    }

    void driveWithoutRootFindsNothing()
    {
        TFileSearcher s([](QChar) { return QString(); });
        QStringList events;
        s.OnStart = [&](const QString& folder, const QString& pattern, bool recursive) {
            events.append(QStringLiteral("start %1 %2 %3").arg(folder, pattern).arg(recursive));
        };
        s.OnEnd = [&](bool stopped) { events.append(QStringLiteral("end %1").arg(stopped)); };
        s.FoundFiles.append(QStringLiteral("stale"));
        s.Execute(QStringLiteral("q:\\"), QStringLiteral("*.*"), true);
        QCOMPARE(events, (QStringList{QStringLiteral("start q:\\ *.* 1"), QStringLiteral("end 0")}));
        QVERIFY(s.FoundFiles.isEmpty());
        QCOMPARE(s.CountFiles(QStringLiteral("q:\\"), QStringLiteral("*.*"), true), qint64(0));
    }

    void stopInsideOnFileEndsAfterThatHandler()
    {
        TFileSearcher s = searcher();
        int files = 0;
        QList<bool> ends;
        s.OnFile = [&](const QString&, const QString&, const QString&, qint64, const LocalDateTime&) {
            if (++files == 2)
                s.Stop();
        };
        s.OnEnd = [&](bool stopped) { ends.append(stopped); };
        s.Execute(QStringLiteral("x:\\"), QStringLiteral("*.*"), true);
        QCOMPARE(files, 2);
        QVERIFY(s.Stopped);
        QCOMPARE(ends, QList<bool>{true});
        QCOMPARE(s.FoundFiles.size(), 2);

        // The next run starts afresh.
        s.OnFile = nullptr;
        s.Execute(QStringLiteral("x:\\"), QStringLiteral("*.*"), true);
        QVERIFY(!s.Stopped);
        QCOMPARE(s.FoundFiles.size(), 12);
        QCOMPARE(ends, (QList<bool>{true, false}));
    }

    void pumpedEventCanStopTheWalk()
    {
        TFileSearcher s = searcher();
        s.OnPump = [] { QCoreApplication::processEvents(); };
        // Queued before the walk: it only runs if the walk pumps events after a file.
        QTimer::singleShot(0, this, [&s] { s.Stop(); });
        s.Execute(QStringLiteral("x:\\"), QStringLiteral("*.*"), true);
        QVERIFY(s.Stopped);
        QCOMPARE(s.FoundFiles.size(), 1);
    }

    void errorInOnFileLeavesWithoutOnEnd()
    {
        TFileSearcher s = searcher();
        int files = 0;
        bool ended = false;
        s.OnFile = [&](const QString&, const QString&, const QString&, qint64, const LocalDateTime&) {
            if (++files == 3)
                throw TessaroError(QStringLiteral("disk full"));
        };
        s.OnEnd = [&](bool) { ended = true; };
        try {
            s.Execute(QStringLiteral("x:\\"), QStringLiteral("*.*"), true);
            QFAIL("the handler's error did not reach the caller");
        } catch (const TessaroError& e) {
            QCOMPARE(e.message(), QStringLiteral("disk full"));
        }
        QVERIFY(!ended);
        QCOMPARE(files, 3);
        QCOMPARE(s.FoundFiles.size(), 3);
    }

    void unreadableFolderIsSkipped()
    {
        QTemporaryDir locked;
        const QString lroot = locked.path();
        QVERIFY(::chmod(QFile::encodeName(lroot).constData(), 0755) == 0);
        fixture::folder(lroot, "open");
        fixture::folder(lroot, "shut/inner");
        QVERIFY(fixture::file(lroot, "open/1.txt"));
        QVERIFY(fixture::file(lroot, "shut/2.txt"));
        QVERIFY(fixture::file(lroot, "shut/inner/3.txt"));
        QVERIFY(fixture::file(lroot, "4.txt"));
        QVERIFY(::chmod(fixture::at(lroot, "shut").constData(), 0) == 0);

        TFileSearcher s([](QChar) { return QString(); });
        s.mapDrive(QLatin1Char('y'), lroot);
        int reportedFiles = 0;
        s.OnFile = [&](const QString&, const QString&, const QString&, qint64, const LocalDateTime&) {
            ++reportedFiles;
        };
        qint64 counted = 0;
        {
            Unprivileged user;
            if (!user.denied())
                QSKIP("cannot take a user that permissions apply to");
            s.Execute(QStringLiteral("y:\\"), QStringLiteral("*.*"), true);
            counted = s.CountFiles(QStringLiteral("y:\\"), QStringLiteral("*.*"), true);
        }
        ::chmod(fixture::at(lroot, "shut").constData(), 0755);
        QStringList found = s.FoundFiles;
        found.sort();
        QCOMPARE(found, (QStringList{QStringLiteral("\\4.txt"), QStringLiteral("\\open\\1.txt")}));
        QCOMPARE(reportedFiles, 2);
        QVERIFY(!s.Stopped);
        QCOMPARE(counted, qint64(2));
    }

    void runningOutOfDescriptorsIsAnError()
    {
        QTemporaryDir deep;
        QByteArray relative;
        for (int i = 0; i < 40; ++i) {
            relative += "d" + QByteArray::number(i) + "/";
            fixture::folder(deep.path(), relative);
            QVERIFY(fixture::file(deep.path(), relative + "f.txt"));
        }
        TFileSearcher s([](QChar) { return QString(); });
        s.mapDrive(QLatin1Char('z'), deep.path());
        QCOMPARE(s.CountFiles(QStringLiteral("z:\\"), QStringLiteral("*.*"), true), qint64(40));

        rlimit saved{};
        QVERIFY(getrlimit(RLIMIT_NOFILE, &saved) == 0);
        const int open = int(QDir(QStringLiteral("/proc/self/fd"))
                                 .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                                 .size());
        rlimit tight = saved;
        tight.rlim_cur = rlim_t(open + 10);
        QVERIFY(setrlimit(RLIMIT_NOFILE, &tight) == 0);
        QString walkError, countError;
        bool ended = false;
        s.OnEnd = [&](bool) { ended = true; };
        try {
            s.Execute(QStringLiteral("z:\\"), QStringLiteral("*.*"), true);
        } catch (const TessaroError& e) {
            walkError = e.message();
        }
        try {
            s.CountFiles(QStringLiteral("z:\\"), QStringLiteral("*.*"), true);
        } catch (const TessaroError& e) {
            countError = e.message();
        }
        QVERIFY(setrlimit(RLIMIT_NOFILE, &saved) == 0);
        QVERIFY2(walkError.startsWith(QStringLiteral("Cannot read the folder z:\\d0\\")),
                 qPrintable(walkError));
        QVERIFY(!countError.isEmpty());
        QVERIFY(!ended);
        // Every folder was closed again on the way out.
        const int after = int(QDir(QStringLiteral("/proc/self/fd"))
                                  .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                                  .size());
        QCOMPARE(after, open);
    }

    void otherFileSystemsAreNotEntered()
    {
        QTemporaryDir host;
        fixture::folder(host.path(), "mnt");
        QVERIFY(fixture::file(host.path(), "own.txt"));
        const QByteArray mountPoint = fixture::at(host.path(), "mnt");
        if (::mount("tessaro-test", mountPoint.constData(), "tmpfs", 0, "size=1m") != 0)
            QSKIP("cannot mount a tmpfs here");
        const bool made = fixture::file(host.path(), "mnt/foreign.txt");
        TFileSearcher s([](QChar) { return QString(); });
        s.mapDrive(QLatin1Char('w'), host.path());
        s.Execute(QStringLiteral("w:\\"), QStringLiteral("*.*"), true);
        const qint64 counted = s.CountFiles(QStringLiteral("w:\\"), QStringLiteral("*.*"), true);
        ::umount2(mountPoint.constData(), MNT_DETACH);
        QVERIFY(made);
        QCOMPARE(s.FoundFiles, QStringList{QStringLiteral("\\own.txt")});
        QCOMPARE(counted, qint64(1));
    }

    // A disc whose file system dies in the middle of the walk (here: its FUSE server is killed).
    void vanishingMediumFailsTheWalk()
    {
        const QString genisoimage = QStandardPaths::findExecutable(QStringLiteral("genisoimage"));
        const QString fuseiso = QStandardPaths::findExecutable(QStringLiteral("fuseiso"));
        if (genisoimage.isEmpty() || fuseiso.isEmpty() || !QFile::exists(QStringLiteral("/dev/fuse")))
            QSKIP("needs genisoimage, fuseiso and /dev/fuse");
        QTemporaryDir work;
        const QString src = work.filePath(QStringLiteral("src"));
        for (const char* f : {"a", "b", "c"})
            for (int i = 0; i < 5; ++i) {
                fixture::folder(src, f);
                QVERIFY(fixture::file(src, QByteArray(f) + "/f" + QByteArray::number(i) + ".txt", 10));
            }
        const QString iso = work.filePath(QStringLiteral("disc.iso"));
        QCOMPARE(QProcess::execute(genisoimage, {QStringLiteral("-quiet"), QStringLiteral("-r"),
                                                 QStringLiteral("-o"), iso, src}),
                 0);
        const QString mnt = work.filePath(QStringLiteral("mnt"));
        QDir().mkpath(mnt);
        QProcess server;
        server.start(fuseiso, {iso, mnt, QStringLiteral("-f")});
        QVERIFY(server.waitForStarted());
        struct stat before, now;
        QVERIFY(::stat(QFile::encodeName(work.path()).constData(), &before) == 0);
        QTRY_VERIFY(::stat(QFile::encodeName(mnt).constData(), &now) == 0 && now.st_dev != before.st_dev);

        TFileSearcher s([](QChar) { return QString(); });
        s.mapDrive(QLatin1Char('v'), mnt);
        QCOMPARE(s.CountFiles(QStringLiteral("v:\\"), QStringLiteral("*.*"), true), qint64(15));
        QList<bool> ends;
        s.OnEnd = [&](bool stopped) { ends.append(stopped); };
        s.OnFile = [&](const QString&, const QString&, const QString&, qint64, const LocalDateTime&) {
            if (server.state() != QProcess::NotRunning) {
                server.kill();
                server.waitForFinished();
            }
        };
        // A disc read in part is not a disc: the walk fails, naming the folder and the reason.
        QString error;
        try {
            s.Execute(QStringLiteral("v:\\"), QStringLiteral("*.*"), true);
        } catch (const TessaroError& e) {
            error = e.message();
        }
        QProcess::execute(QStringLiteral("fusermount"), {QStringLiteral("-u"), QStringLiteral("-z"), mnt});
        QVERIFY2(error.startsWith(QStringLiteral("Cannot read the ")) &&
                     error.contains(QStringLiteral("v:\\")) &&
                     error.endsWith(QStringLiteral(": Transport endpoint is not connected")),
                 qPrintable(error));
        QVERIFY(ends.isEmpty());
        QVERIFY2(s.FoundFiles.size() < 15, qPrintable(s.FoundFiles.join(QLatin1Char(' '))));
    }
};

QTEST_GUILESS_MAIN(FileSearchTest)
#include "filesearch_test.moc"
