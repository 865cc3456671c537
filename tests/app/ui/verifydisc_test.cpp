#include "catalogue/Catalogue.h"
#include "maintenance/ui/VerifyWindow.h"
#include "search/ui/CoverageLabel.h"
#include "search/ui/DiscDetails.h"
#include "tests/support/CliRun.h"
#include "tests/support/WhenShown.h"
#include "tests/support/WindowChild.h"

#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>
#include <utime.h>

// Disc details end to end: its coverage line, its "Verify…" button and the verification window
// it opens, over a real folder catalogued with hashes and a byte of it flipped since.
class VerifyDiscTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void verifyFindsAFlippedByteAndDetailsShowIt();
};

void VerifyDiscTest::verifyFindsAFlippedByteAndDetailsShowIt()
{
    QTemporaryDir dir;
    const QString disc = dir.filePath(QStringLiteral("disc"));
    const QString catalogue = dir.filePath(QStringLiteral("archive.mdb"));
    QVERIFY(QDir().mkpath(disc + QStringLiteral("/sub")));
    const QList<QPair<QString, QByteArray>> files = {{QStringLiteral("a.txt"), "alpha"},
                                                     {QStringLiteral("d.txt"), "delta"},
                                                     {QStringLiteral("sub/b.bin"), QByteArray(300000, 'b')}};
    for (const auto& [name, bytes] : files) {
        QFile file(disc + QLatin1Char('/') + name);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    const QStringList at = {QStringLiteral("--catalogue"), catalogue};
    QCOMPARE(CliRun::of(at + QStringList{QStringLiteral("create-catalogue")}).status, 0);
    // The same folder twice: each disc has a copy of every file on the other.
    for (const QString& again : {QStringLiteral("-q"), QStringLiteral("--again")})
        QCOMPARE(CliRun::of(at + QStringList{QStringLiteral("add"), QStringLiteral("--root"), disc,
                                             QStringLiteral("--hash"), QStringLiteral("-q"), again})
                     .status,
                 0);
    // Bit rot: one byte of b.bin flipped, its size and date as they were.
    const QByteArray path = QFile::encodeName(disc + QStringLiteral("/sub/b.bin"));
    struct stat before;
    QVERIFY(::stat(path.constData(), &before) == 0);
    {
        QFile file(QString::fromLocal8Bit(path));
        QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(150000) && file.write("c", 1) == 1);
    }
    const struct utimbuf times = {before.st_atime, before.st_mtime};
    QVERIFY(::utime(path.constData(), &times) == 0);

    Catalogue session;
    session.connect(catalogue);
    TfrmDiscDetails details(session);
    details.setVerify(VerifyWindow::opener(session, {}, {}, &details));
    const std::optional<DiscStore::DiscRow> row = session.findDisc(QStringLiteral("C0001"));
    QVERIFY(row);
    details.showDisc(*row);
    details.show();
    auto* coverage = details.findChild<CoverageLabel*>();
    QVERIFY(coverage);
    QTRY_VERIFY_WITH_TIMEOUT(!coverage->counting(), 30000);
    QCOMPARE(coverage->text(),
             QStringLiteral("Copies elsewhere: 100 % of files, 100 % of bytes, on C0002 (size and content)"));
    QVERIFY2(windowChild<QLabel>(details, "LabelFacts")->text().endsWith(QStringLiteral("\nNever verified")),
             qPrintable(windowChild<QLabel>(details, "LabelFacts")->text()));

    // "Verify…" reads the folder the disc came from on a thread of its own: the window answers,
    // shows the flipped byte and the summary, and closes with its button.
    QStringList problems;
    QString summary, caption;
    whenShown<VerifyWindow>([&](VerifyWindow* window) {
        caption = window->windowTitle();
        QTRY_VERIFY_WITH_TIMEOUT(!window->running(), 60000);
        auto* list = window->findChild<QListWidget*>(QStringLiteral("ListProblems"));
        for (int i = 0; list && i < list->count(); ++i)
            problems << list->item(i)->text();
        summary = window->findChild<QLabel*>(QStringLiteral("LabelSummary"))->text();
        auto* close = window->findChild<QPushButton*>(QStringLiteral("ButtonStop"));
        caption += QLatin1Char('|') + close->text();
        QTest::mouseClick(close, Qt::LeftButton);
    });
    auto* verify = details.findChild<QPushButton*>(QStringLiteral("ButtonVerify"));
    QVERIFY(verify && verify->isVisible());
    QCOMPARE(verify->text(), QStringLiteral("&Verify…"));
    QTest::mouseClick(verify, Qt::LeftButton);
    QCOMPARE(caption, QStringLiteral("Verify C0001|&Close"));
    QCOMPARE(problems, QStringList{QStringLiteral("changed  \\sub\\b.bin  content")});
    QVERIFY2(summary.startsWith(
                 QStringLiteral("3 files verified: 2 ok, 1 changed, 0 unreadable, 0 missing, 0 new; ")),
             qPrintable(summary));
    // Kept whole, and shown in the window that opened it.
    QVERIFY2(windowChild<QLabel>(details, "LabelFacts")
                 ->text()
                 .contains(QRegularExpression(QStringLiteral("\nLast verified: [^\n]+, 1 changed$"))),
             qPrintable(windowChild<QLabel>(details, "LabelFacts")->text()));
}

QTEST_MAIN(VerifyDiscTest)
#include "verifydisc_test.moc"
