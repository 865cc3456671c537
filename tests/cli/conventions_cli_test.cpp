#include "catalogue/searchindex/SearchIndex.h"
#include "tests/support/TestCatalogue.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

namespace
{
struct Run {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

const QString kSource = QStringLiteral(QT_TESTCASE_SOURCEDIR "/../cli/");

// Names a program reading the output must get back exactly.
const QStringList kHostile = {
    QStringLiteral("quote\" back\\slash.txt"),
    QStringLiteral("tab\there\nnew line.txt"),
    QStringLiteral("bell\x07 esc\x1b del\x7f.txt"),
    QStringLiteral("lit\\x0Aname.jpg"),
    QString::fromUtf8("\xc3\xa9t\xc3\xa9 \xe2\x80\xa8 \xf0\x9f\x92\xbf.png"),
    QStringLiteral("50%_off.txt"),
    QStringLiteral("50xyoff.txt"),
};
} // namespace

// tessaro-cli as a Unix tool: help, exit statuses, the catalogue's place, the output forms for
// programs, the progress on a terminal, and the man page and completion that describe it.
class ConventionsCliTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void statusAndMessage_data();
    void statusAndMessage();
    void catalogueFromOptionThenEnvironment();
    void searchOptions_data();
    void searchOptions();
    void jsonAndNullKeepNamesExact();
    void progressOnlyOnATerminal_data();
    void progressOnlyOnATerminal();
    void bellOnlyOnATerminal_data();
    void bellOnlyOnATerminal();
    void manPageAndCompletionFollowTheHelp();

  private:
    Run cli(const QStringList& args, const QString& catalogue = {});
    // Runs the command with standard output and standard error on a pseudo-terminal.
    Run onTerminal(const QStringList& command);
    QStringList helpOptions(const QString& command);
    QString cli_;
    std::unique_ptr<TestCatalogue> cat_;   // C0001 with a search index, D0007 without
    std::unique_ptr<TestCatalogue> other_; // one disc, C0042
};

Run ConventionsCliTest::cli(const QStringList& args, const QString& catalogue)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TESSARO_CATALOGUE"), catalogue.isNull() ? cat_->path() : catalogue);
    process.setProcessEnvironment(environment);
    process.start(cli_, args);
    if (!process.waitForFinished(60000))
        return {};
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

Run ConventionsCliTest::onTerminal(const QStringList& command)
{
    QStringList quoted;
    for (const QString& word : command)
        quoted += QLatin1Char('\'') + word + QLatin1Char('\'');
    QProcess process;
    process.start(QStandardPaths::findExecutable(QStringLiteral("script")),
                  {QStringLiteral("-qec"), quoted.join(QLatin1Char(' ')), QStringLiteral("/dev/null")});
    if (!process.waitForFinished(60000))
        return {};
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

void ConventionsCliTest::initTestCase()
{
    cli_ = QCoreApplication::applicationDirPath() + QStringLiteral("/tessaro-cli");
    QVERIFY(QFileInfo(cli_).isExecutable());
    cat_ = std::make_unique<TestCatalogue>();
    cat_->addDisc(QStringLiteral("C"), {}, 1);
    cat_->addDisc(QStringLiteral("D"), {}, 7);
    for (qsizetype i = 0; i < kHostile.size(); ++i) {
        cat_->addFile(1, QStringLiteral("\\dir \"one\"\\"), kHostile.at(i), 5000000000LL + i,
                      QStringLiteral("2020-05-01 10:00:00"));
        cat_->addFile(7, QStringLiteral("\\"), kHostile.at(i), i, QStringLiteral("2021-06-02 11:00:00"));
    }
    SearchIndex::indexDisc(cat_->connection, 1);
    other_ = std::make_unique<TestCatalogue>();
    other_->addDisc(QStringLiteral("C"), {}, 42);
}

void ConventionsCliTest::statusAndMessage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("out"); // how standard output begins
    QTest::addColumn<QByteArray>("err"); // all of standard error
    const QByteArray usage("usage: tessaro-cli [--catalogue FILE] COMMAND");
    const QByteArray search("usage: tessaro-cli search [--disc LABEL]");
    QTest::newRow("-h") << QStringList{"-h"} << 0 << usage << QByteArray();
    QTest::newRow("--help") << QStringList{"--help"} << 0 << usage << QByteArray();
    QTest::newRow("help") << QStringList{"help"} << 0 << usage << QByteArray();
    QTest::newRow("search --help") << QStringList{"search", "--help"} << 0 << search << QByteArray();
    QTest::newRow("search -h after options")
        << QStringList{"search", "--disc", "x", "-h"} << 0 << search << QByteArray();
    QTest::newRow("help search") << QStringList{"help", "search"} << 0 << search << QByteArray();
    QTest::newRow("remove --help") << QStringList{"remove", "--help"} << 0
                                   << QByteArray("usage: tessaro-cli remove LABEL") << QByteArray();
    QTest::newRow("-V") << QStringList{"-V"} << 0 << QByteArray("tessaro-cli 1.3\n") << QByteArray();
    QTest::newRow("--version") << QStringList{"--version"} << 0 << QByteArray("tessaro-cli 1.3\n")
                               << QByteArray();
    QTest::newRow("nothing found") << QStringList{"search", "--file", "*.none"} << 0 << QByteArray()
                                   << QByteArray("0 files found\n");

    auto usageError = [](const char* problem, const char* command) {
        return QByteArray("tessaro-cli: ") + problem + " (see 'tessaro-cli" + command + " --help')\n";
    };
    QTest::newRow("no command") << QStringList{} << 2 << QByteArray() << usageError("no command given", "");
    QTest::newRow("unknown command") << QStringList{"frob"} << 2 << QByteArray()
                                     << usageError("unknown command frob", "");
    QTest::newRow("unknown option first")
        << QStringList{"--frob", "discs"} << 2 << QByteArray() << usageError("unknown option --frob", "");
    QTest::newRow("help of no command")
        << QStringList{"help", "frob"} << 2 << QByteArray() << usageError("unknown command frob", "");
    QTest::newRow("unknown option") << QStringList{"search", "--sort"} << 2 << QByteArray()
                                    << usageError("unknown option --sort", " search");
    QTest::newRow("missing value") << QStringList{"search", "--disc"} << 2 << QByteArray()
                                   << usageError("missing value after '--disc'", " search");
    QTest::newRow("value of a flag") << QStringList{"search", "--count=3"} << 2 << QByteArray()
                                     << usageError("unexpected value after '--count'", " search");
    QTest::newRow("bad date") << QStringList{"search", "--from", "2020-02-30"} << 2 << QByteArray()
                              << usageError("--from takes a date as YYYY-MM-DD, not '2020-02-30'", " search");
    QTest::newRow("from after to") << QStringList{"search", "--from", "2020-05-02", "--to", "2020-05-01"} << 2
                                   << QByteArray()
                                   << usageError("--from 2020-05-02 is after --to 2020-05-01", " search");
    QTest::newRow("a second --disc") << QStringList{"search", "--disc", "C0001", "--disc=D0007"} << 2
                                     << QByteArray() << usageError("--disc given more than once", " search");
    QTest::newRow("--file and --contains")
        << QStringList{"search", "--file", "a", "--contains", "b"} << 2 << QByteArray()
        << usageError("--file, --contains, --name and TEXT exclude each other", " search");
    QTest::newRow("two forms") << QStringList{"search", "--json", "-0"} << 2 << QByteArray()
                               << usageError("--count, --csv, --json and --null exclude each other",
                                             " search");
    QTest::newRow("two forms of discs") << QStringList{"discs", "--count", "--json"} << 2 << QByteArray()
                                        << usageError("--count and --json exclude each other", " discs");
    QTest::newRow("archives and not")
        << QStringList{"add", "--root", "/", "--archives", "--no-archives"} << 2 << QByteArray()
        << usageError("--archives and --no-archives exclude each other", " add");
    QTest::newRow("operand of discs") << QStringList{"discs", "all"} << 2 << QByteArray()
                                      << usageError("unexpected argument all", " discs");
    QTest::newRow("remove without label")
        << QStringList{"remove"} << 2 << QByteArray() << usageError("missing LABEL", " remove");
    QTest::newRow("long label") << QStringList{"add", "--root", "/", "--label", QString(50, QLatin1Char('x'))}
                                << 2 << QByteArray()
                                << usageError("--label takes at most 49 characters", " add");
    QTest::newRow("catalogue twice") << QStringList{"--catalogue", "a", "discs", "--catalogue", "b"} << 2
                                     << QByteArray()
                                     << usageError("--catalogue given more than once", " discs");

    QTest::newRow("no such disc") << QStringList{"search", "--disc", "C0007"} << 1 << QByteArray()
                                  << QByteArray("tessaro-cli: No disc C0007 in the catalogue\n");
    QTest::newRow("no such disc, counting")
        << QStringList{"search", "--count", "--disc", "Z9"} << 1 << QByteArray()
        << QByteArray("tessaro-cli: No disc Z9 in the catalogue\n");
    QTest::newRow("no catalogue") << QStringList{"--catalogue", "/nonexistent/archive.mdb", "discs"} << 1
                                  << QByteArray()
                                  << QByteArray(
                                         "tessaro-cli: Catalogue file not found: /nonexistent/archive.mdb\n");
}

void ConventionsCliTest::statusAndMessage()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    const Run run = cli(args);
    QCOMPARE(run.err, err);
    QCOMPARE(run.status, status);
    QVERIFY2(run.out.startsWith(out), run.out.left(200).constData());
    if (status != 0)
        QVERIFY(run.out.isEmpty());
}

void ConventionsCliTest::catalogueFromOptionThenEnvironment()
{
    const QByteArray fromEnvironment = cli({QStringLiteral("discs")}).out;
    QVERIFY(fromEnvironment.startsWith("D0007\t"));
    for (const QStringList& args : QList<QStringList>{{"--catalogue", other_->path(), "discs"},
                                                      {"discs", "--catalogue", other_->path()},
                                                      {"--catalogue=" + other_->path(), "discs"}}) {
        const Run run = cli(args);
        QCOMPARE(run.status, 0);
        QVERIFY2(run.out.startsWith("C0042\t"), run.out.constData());
    }
    // An empty variable is no catalogue: the default one is used.
    QVERIFY(!cli({QStringLiteral("discs")}, QStringLiteral("")).out.startsWith("D0007"));
}

void ConventionsCliTest::searchOptions_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("count");
    // Each case runs on C0001 (searched through its index) and on D0007 (through the statement).
    QTest::newRow("--contains takes % and _ as they are") << QStringList{"--contains", "50%_"} << 1;
    QTest::newRow("--contains folds A to Z") << QStringList{"--contains", "LIT\\X0a"} << 1;
    QTest::newRow("--contains folds other letters")
        << QStringList{"--contains", QString::fromUtf8("\xc3\x89")} << 1;
    QTest::newRow("--contains a backslash") << QStringList{"--contains", "\" back\\"} << 1;
    QTest::newRow("--file takes % and _ as wildcards") << QStringList{"--file", "*50%_*"} << 2;
    QTest::newRow("one --ext") << QStringList{"--ext", "TXT"} << 5;
    QTest::newRow("two --ext") << QStringList{"--ext", "jpg", "--ext", "png"} << 2;
    QTest::newRow("--ext given twice alike") << QStringList{"--ext", "jpg", "--ext", "JPG"} << 1;
    QTest::newRow("--ext and --contains")
        << QStringList{"--ext", "png", "--ext", "txt", "--contains", "FF"} << 2;
}

void ConventionsCliTest::searchOptions()
{
    QFETCH(QStringList, args);
    QFETCH(int, count);
    for (const QString& disc : {QStringLiteral("c0001"), QStringLiteral("D0007")}) {
        const Run run = cli(
            QStringList{QStringLiteral("search"), QStringLiteral("--count"), QStringLiteral("--disc"), disc} +
            args);
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, QByteArray::number(count) + '\n');
    }
}

void ConventionsCliTest::jsonAndNullKeepNamesExact()
{
    const Run json = cli({QStringLiteral("search"), QStringLiteral("--json")});
    QCOMPARE(json.status, 0);
    QCOMPARE(json.err, QByteArray::number(2 * kHostile.size()) + " files found\n");
    QVERIFY(json.out.endsWith('\n'));
    const QList<QByteArray> lines = json.out.chopped(1).split('\n');
    QCOMPARE(lines.size(), 2 * kHostile.size());
    QStringList namesC;
    QStringList namesD;
    QList<QByteArray> records;
    for (const QByteArray& line : lines) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        QVERIFY2(error.error == QJsonParseError::NoError, line.constData());
        const QJsonObject file = document.object();
        QCOMPARE(file.keys(), (QStringList{"date", "disc", "name", "path", "size", "uuid"}));
        QVERIFY(file.value(QStringLiteral("size")).isDouble());
        const QString disc = file.value(QStringLiteral("disc")).toString();
        const QString name = file.value(QStringLiteral("name")).toString();
        const qint64 size = file.value(QStringLiteral("size")).toInteger();
        const qint64 at = kHostile.indexOf(name);
        QVERIFY2(at >= 0, qPrintable(name));
        if (disc == QLatin1String("C0001")) {
            namesC += name;
            QCOMPARE(file.value(QStringLiteral("path")).toString(), QStringLiteral("\\dir \"one\"\\"));
            QCOMPARE(file.value(QStringLiteral("date")).toString(), QStringLiteral("2020-05-01 10:00:00"));
            QCOMPARE(size, 5000000000LL + at);
        } else {
            QCOMPARE(disc, QStringLiteral("D0007"));
            namesD += name;
            QCOMPARE(file.value(QStringLiteral("path")).toString(), QStringLiteral("\\"));
            QCOMPARE(size, at);
        }
        records += (disc + file.value(QStringLiteral("path")).toString() + name).toUtf8();
    }
    namesC.sort();
    namesD.sort();
    QStringList all = kHostile;
    all.sort();
    QCOMPARE(namesC, all);
    QCOMPARE(namesD, all);

    // tree --json: the same names as search's, and the same members.
    const Run tree = cli({QStringLiteral("tree"), QStringLiteral("C0001"), QStringLiteral("/dir \"one\""),
                          QStringLiteral("--json")});
    QCOMPARE(tree.status, 0);
    QStringList inTree;
    for (const QByteArray& line : tree.out.chopped(1).split('\n')) {
        const QJsonObject file = QJsonDocument::fromJson(line).object();
        QCOMPARE(file.keys(), (QStringList{"date", "disc", "name", "path", "size", "uuid"}));
        inTree += file.value(QStringLiteral("name")).toString();
    }
    inTree.sort();
    QCOMPARE(inTree, all);

    // -0: disc label and full name of the same rows in the same order, each ended by a NUL,
    // nothing escaped.
    for (const QString& option : {QStringLiteral("-0"), QStringLiteral("--null")}) {
        const Run null = cli({QStringLiteral("search"), option});
        QCOMPARE(null.status, 0);
        QVERIFY(null.out.endsWith('\0'));
        QCOMPARE(null.out.chopped(1).split('\0'), records);
    }
}

void ConventionsCliTest::progressOnlyOnATerminal_data()
{
    QTest::addColumn<bool>("terminal");
    QTest::addColumn<bool>("quiet");
    QTest::newRow("terminal") << true << false;
    QTest::newRow("terminal, --quiet") << true << true;
    QTest::newRow("redirected") << false << false;
    QTest::newRow("redirected, --quiet") << false << true;
}

void ConventionsCliTest::progressOnlyOnATerminal()
{
    QFETCH(bool, terminal);
    QFETCH(bool, quiet);
    if (terminal && QStandardPaths::findExecutable(QStringLiteral("script")).isEmpty())
        QSKIP("script (util-linux) is needed for a pseudo-terminal");
    QTemporaryDir dir;
    for (int i = 0; i < 40; ++i) {
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("disc/f%1").arg(i))));
        QFile file(dir.filePath(QStringLiteral("disc/f%1/a.txt").arg(i)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    TestCatalogue target;
    QStringList command{cli_,
                        QStringLiteral("--catalogue"),
                        target.path(),
                        QStringLiteral("add"),
                        QStringLiteral("--root"),
                        dir.filePath(QStringLiteral("disc")),
                        QStringLiteral("--label"),
                        QStringLiteral("Folder")};
    if (quiet)
        command += QStringLiteral("--quiet");
    Run run;
    if (terminal) {
        run = onTerminal(command);
    } else {
        QProcess process;
        process.start(command.first(), command.mid(1));
        QVERIFY(process.waitForFinished(60000));
        run = {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
    }
    QCOMPARE(run.status, 0);
    const QByteArray& out = run.out;
    const QByteArray& err = run.err;
    const QByteArray result =
        terminal ? "New CD ID: C0001\r\n40 files found\r\n" : "New CD ID: C0001\n40 files found\n";
    if (quiet) {
        QCOMPARE(out, QByteArray());
    } else if (terminal) {
        // The counting pass, then the bar, each drawn over the line, which is cleared at the end.
        QVERIFY2(QRegularExpression(QStringLiteral("^\\rCounting files: \\d+\\x1b\\[K.*\\r\\[ +\\]   0%  - "
                                                   "files/s\\x1b\\[K.*\\r\\x1b\\[K") +
                                        QRegularExpression::escape(result) + QStringLiteral("$"),
                                    QRegularExpression::DotMatchesEverythingOption)
                     .match(QString::fromUtf8(out))
                     .hasMatch(),
                 out.constData());
    } else {
        QCOMPARE(out, result);
    }
    QCOMPARE(err, QByteArray());
    QCOMPARE(target.scalar(QStringLiteral("select etichetta from cd")).toString(), QStringLiteral("Folder"));
}

void ConventionsCliTest::bellOnlyOnATerminal_data()
{
    QTest::addColumn<bool>("terminal");
    QTest::addColumn<bool>("quiet");
    QTest::newRow("terminal") << true << false;
    QTest::newRow("terminal, --quiet") << true << true;
    QTest::newRow("redirected") << false << false;
}

void ConventionsCliTest::bellOnlyOnATerminal()
{
    QFETCH(bool, terminal);
    QFETCH(bool, quiet);
    if (terminal && QStandardPaths::findExecutable(QStringLiteral("script")).isEmpty())
        QSKIP("script (util-linux) is needed for a pseudo-terminal");
    // A copy of the program with its own tessaro.ini, whose drive q has no disc.
    QTemporaryDir beside;
    const QString program = beside.filePath(QStringLiteral("tessaro-cli"));
    QVERIFY(QFile::copy(cli_, program));
    QVERIFY(QFile::copy(cli_ + QStringLiteral("-scan"), program + QStringLiteral("-scan"))); // runs add
    QSettings ini(beside.filePath(QStringLiteral("tessaro.ini")), QSettings::IniFormat);
    ini.setValue(QStringLiteral("Software/Quillomat/Tessaro/Drives/q"),
                 beside.filePath(QStringLiteral("none")));
    ini.sync();
    TestCatalogue target;
    QStringList command{program,
                        QStringLiteral("--catalogue"),
                        target.path(),
                        QStringLiteral("add"),
                        QStringLiteral("--drive"),
                        QStringLiteral("q")};
    if (quiet)
        command += QStringLiteral("--quiet");
    Run run;
    if (terminal) {
        run = onTerminal(command);
        run.out.replace("\r\n", "\n");
    } else {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(command.first(), command.mid(1));
        QVERIFY(process.waitForFinished(60000));
        run = {process.exitCode(), process.readAllStandardError(), {}};
    }
    QCOMPARE(run.status, 1);
    QCOMPARE(run.out, QByteArray(terminal && !quiet ? "\a" : "") + "tessaro-cli: No disc in the drive\n");
}

QStringList ConventionsCliTest::helpOptions(const QString& command)
{
    const Run help = cli({QStringLiteral("help"), command});
    QStringList options;
    const QRegularExpression line(QStringLiteral("^  (?:-\\w, )?(--[a-z-]+)"),
                                  QRegularExpression::MultilineOption);
    for (auto match = line.globalMatch(QString::fromUtf8(help.out)); match.hasNext();)
        options += match.next().captured(1);
    return options;
}

void ConventionsCliTest::manPageAndCompletionFollowTheHelp()
{
    const QString man = QStandardPaths::findExecutable(QStringLiteral("man"));
    if (man.isEmpty())
        QSKIP("man (man-db) is needed to render the manual page");
    QProcess render;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MANWIDTH"), QStringLiteral("80"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    render.setProcessEnvironment(environment);
    render.start(
        man, {QStringLiteral("--warnings"), QStringLiteral("-l"), kSource + QStringLiteral("tessaro-cli.1")});
    QVERIFY(render.waitForFinished(60000));
    QCOMPARE(render.readAllStandardError(), QByteArray());
    QCOMPARE(render.exitCode(), 0);
    const QString page = QString::fromUtf8(render.readAllStandardOutput());
    QVERIFY(page.contains(QLatin1String("EXIT STATUS")));

    // The commands the help lists, each with the options its own help lists.
    const QString help = QString::fromUtf8(cli({QStringLiteral("--help")}).out);
    QStringList commands;
    const QRegularExpression entry(QStringLiteral("^  ([a-z-]+)"), QRegularExpression::MultilineOption);
    for (auto match = entry.globalMatch(help.section(QLatin1String("\noptions:"), 0, 0)); match.hasNext();)
        commands += match.next().captured(1);
    QCOMPARE(commands.size(), 17);

    // The completion, loaded into bash as bash loads it, asked as the shell asks.
    const QString complete = QStringLiteral(
        "source \"$1\" || exit 1; shift; COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); _tessaro_cli; "
        "printf '%s\\n' \"${COMPREPLY[@]}\"");
    auto completions = [&](const QStringList& words) {
        QProcess bash;
        bash.start(QStringLiteral("bash"), QStringList{QStringLiteral("-c"), complete, QStringLiteral("bash"),
                                                       kSource + QStringLiteral("tessaro-cli.bash"), cli_} +
                                               words);
        bash.waitForFinished(60000);
        QStringList words_ =
            QString::fromUtf8(bash.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        words_.sort();
        return words_;
    };
    QStringList sorted = commands;
    sorted.sort();
    QCOMPARE(completions({QString()}), sorted);
    for (const QString& command : commands) {
        QStringList options = helpOptions(command);
        for (const QString& option : options)
            QVERIFY2(page.contains(option), qPrintable(command + QLatin1Char(' ') + option));
        if (command == QLatin1String("help"))
            continue;
        options.sort();
        QCOMPARE(completions({command, QStringLiteral("--")}), options);
    }
    QCOMPARE(completions({QStringLiteral("--catalogue"), other_->path(), QStringLiteral("search"),
                          QStringLiteral("--disc"), QStringLiteral("c")}),
             QStringList{QStringLiteral("C0042")});
    QCOMPARE(completions({QStringLiteral("remove"), QStringLiteral("--catalogue"), cat_->path(), QString()}),
             (QStringList{QStringLiteral("C0001"), QStringLiteral("D0007")}));
}

QTEST_GUILESS_MAIN(ConventionsCliTest)
#include "conventions_cli_test.moc"
