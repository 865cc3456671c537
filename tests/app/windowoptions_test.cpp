#include <QCoreApplication>
#include <QProcess>
#include <QtTest>

// The window's command line, run as a user runs it: help and the version answer on a machine
// without any display, a wrong command line is refused before a window opens.
class WindowOptionsTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void answersAndRefusals_data();
    void answersAndRefusals();
};

void WindowOptionsTest::answersAndRefusals_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("display");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::newRow("help") << QStringList{QStringLiteral("--help")} << false << 0
                          << QStringLiteral("Usage: tessaro [--catalogue FILE]\n") << QString();
    QTest::newRow("version") << QStringList{QStringLiteral("-V")} << false << 0
                             << QStringLiteral("tessaro 1.") << QString();
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--sort")} << true << 2 << QString()
                                    << QStringLiteral(
                                           "tessaro: unknown option --sort (see 'tessaro --help')\n");
    QTest::newRow("catalogue twice")
        << QStringList{QStringLiteral("--catalogue"), QStringLiteral("a.mdb"),
                       QStringLiteral("--catalogue=b.mdb")}
        << true << 2 << QString()
        << QStringLiteral("tessaro: --catalogue given more than once (see 'tessaro --help')\n");
    QTest::newRow("empty catalogue")
        << QStringList{QStringLiteral("--catalogue"), QString()} << true << 2 << QString()
        << QStringLiteral(
               "tessaro: --catalogue takes a file name; the empty name is none (see 'tessaro --help')\n");
}

void WindowOptionsTest::answersAndRefusals()
{
    QFETCH(QStringList, args);
    QFETCH(bool, display);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/tessaro");
    QVERIFY2(QFileInfo(program).isExecutable(), qPrintable(program + QStringLiteral(" is not built")));
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    if (display)
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.start(program, args);
    QVERIFY(process.waitForFinished(60000));
    const QString shown = QString::fromLocal8Bit(process.readAllStandardOutput());
    const QStringList errors =
        QString::fromLocal8Bit(process.readAllStandardError()).split(QLatin1Char('\n'));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), status);
    QVERIFY2(shown.startsWith(out) && (out.isEmpty() ? shown.isEmpty() : true), qPrintable(shown));
    // Qt may say where its runtime folder is; the program's own line is what counts.
    if (err.isEmpty())
        QVERIFY2(!errors.join(QLatin1Char('\n')).contains(QLatin1String("tessaro:")),
                 qPrintable(errors.join('\n')));
    else
        QVERIFY2(errors.contains(err.chopped(1)), qPrintable(errors.join('\n')));
}

QTEST_GUILESS_MAIN(WindowOptionsTest)
#include "windowoptions_test.moc"
