#include "catalogue/Connection.h"
#include "catalogue/Query.h"
#include "maintenance/ui/UnDelCD.h"
#include "maintenance/ui/UnNewCD.h"
#include "tests/maintenance/MaintenanceFixture.h"
#include "tests/support/RecordingMessages.h"
#include "tests/support/WindowChild.h"

#include <QComboBox>
#include <QProcess>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

// A disc the user saw earlier is removed only while the catalogue still holds that very disc:
// ids are handed out again, so another instance may have put a different disc under the id.
class StaleDiscTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void removalActsOnlyOnTheDiscSeen_data();
    void removalActsOnlyOnTheDiscSeen();
    void idsBelowOneShowAndGoAlike_data();
    void idsBelowOneShowAndGoAlike();
};

namespace
{
// What another instance did to disc 2 while a dialog remembered it.
void changeDisc2(const QString& catalogue, const QString& change)
{
    Connection other;
    other.connect(catalogue);
    Query q(other);
    if (change == QLatin1String("nothing"))
        return;
    const QString date = (q.openWith(QStringLiteral("select data from cd where id = 2")),
                          q.fieldAsString(QStringLiteral("data")));
    q.close();
    q.execWith(QStringLiteral("delete from files where id_cd = 2"));
    q.execWith(QStringLiteral("delete from cd where id = 2"));
    if (change == QLatin1String("removed"))
        return;
    // A new disc under the freed id: another type with the same date, or the same type later on.
    const bool otherType = change == QLatin1String("replaced by a DVD");
    q.execWith(QStringLiteral("insert into cd (id, etichetta, tipo, data) values (2, 'NEW', :t, :d)"),
               {{QStringLiteral("t"), otherType ? QStringLiteral("D") : QStringLiteral("C")},
                {QStringLiteral("d"), otherType ? date : QStringLiteral("2031-02-03 04:05:06")}});
    q.execWith(QStringLiteral("insert into files (id, id_cd, nome, path, estensione, dimensione, data) "
                              "values (900, 2, 'new.txt', '\\', '.txt', 1, '2020-01-01 00:00:00')"));
}

struct Rows {
    qint64 discs;
    qint64 files;
};

Rows rows(TestCatalogue& cat)
{
    return {cat.count(QStringLiteral("cd")), cat.count(QStringLiteral("files"))};
}
} // namespace

void StaleDiscTest::removalActsOnlyOnTheDiscSeen_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("change");
    for (const char* dialog : {"New CD cancel", "Remove CD"}) {
        for (const char* change : {"nothing", "removed", "replaced by a DVD", "replaced by a later CD"})
            QTest::addRow("%s, %s", dialog, change)
                << QString::fromLatin1(dialog) << QString::fromLatin1(change);
    }
}

void StaleDiscTest::removalActsOnlyOnTheDiscSeen()
{
    QFETCH(QString, dialog);
    QFETCH(QString, change);
    FakeHost host;
    FakeDrive drive;
    RecordingMessages messages;
    TestCatalogue& cat = host.catalogue;
    cat.addFile(cat.addDisc(QStringLiteral("C"), QStringLiteral("FIRST")), QStringLiteral("\\"),
                QStringLiteral("keep.txt"));

    TfrmNewCD newCd(
        host.session(), host.refresh(), messages, [] { return kDrive; }, drive);
    TfrmDelCD delCd(host.session(), host.refresh(), messages);
    QWidget* shown = nullptr;
    QAbstractButton* confirm = nullptr;
    if (dialog == QLatin1String("New CD cancel")) {
        // The run catalogues C0002 and the user leaves the box open.
        drive.addFiles(3);
        newCd.ResetDialog();
        newCd.show();
        windowChild<QToolButton>(newCd, "SpeedButton3")->click();
        QCOMPARE(cat.count(QStringLiteral("cd")), 2);
        shown = &newCd;
        confirm = windowChild<QPushButton>(newCd, "Button1"); // Cancel, then "Cancel Insert?" Yes
    } else {
        cat.addFile(cat.addDisc(QStringLiteral("C")), QStringLiteral("\\"), QStringLiteral("old.txt"));
        delCd.FillDiscList();
        delCd.show();
        windowChild<QComboBox>(delCd, "ComboBox1")
            ->setCurrentIndex(windowChild<QComboBox>(delCd, "ComboBox1")->findText(QStringLiteral("C0002")));
        QCOMPARE(windowChild<QComboBox>(delCd, "ComboBox1")->currentText(), QStringLiteral("C0002"));
        shown = &delCd;
        confirm = windowChild<QPushButton>(delCd, "Button2"); // OK, then "Remove CD from the archive?" Yes
    }

    changeDisc2(cat.path(), change);
    const Rows before = rows(cat);
    messages.answers = {true};
    confirm->click();
    QCOMPARE(messages.questions.size(), 1);

    if (change == QLatin1String("nothing")) {
        QVERIFY(messages.errors.isEmpty());
        QVERIFY(!shown->isVisible());
        QCOMPARE(cat.count(QStringLiteral("cd")), 1);
        QCOMPARE(cat.count(QStringLiteral("files")), 1);
        return;
    }
    QCOMPARE(messages.errors, QStringList{QStringLiteral("Disc C0002 is no longer in the catalogue")});
    QCOMPARE(rows(cat).discs, before.discs);
    QCOMPARE(rows(cat).files, before.files);
    QCOMPARE(cat.scalar(QStringLiteral("select count(*) from files where nome = 'keep.txt'")).toInt(), 1);
    if (dialog == QLatin1String("Remove CD")) {
        // The list now shows the catalogue as it is.
        QStringList labels;
        for (int i = 0; i < windowChild<QComboBox>(delCd, "ComboBox1")->count(); ++i)
            labels.append(windowChild<QComboBox>(delCd, "ComboBox1")->itemText(i));
        QStringList expected{QStringLiteral("C0001")};
        if (change != QLatin1String("removed"))
            expected.prepend(change.contains(QLatin1String("DVD")) ? QStringLiteral("D0002")
                                                                   : QStringLiteral("C0002"));
        QCOMPARE(labels, expected);
    } else {
        // Nothing is left to cancel: the next Cancel closes without asking again.
        confirm->click();
        QCOMPARE(messages.questions.size(), 1);
        QVERIFY(!shown->isVisible());
    }
}

// A hand-edited catalogue may hold ids of zero or below: every list and every search shows them
// with one label, and that label removes the disc, from the window and from the command line.
void StaleDiscTest::idsBelowOneShowAndGoAlike_data()
{
    QTest::addColumn<qint64>("id");
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("window");
    const struct {
        qint64 id;
        const char* label;
    } cases[] = {{0, "C0000"}, {-3, "C-003"}, {-12345, "C-12345"}};
    for (const auto& c : cases) {
        QTest::addRow("%s, command line", c.label) << c.id << QString::fromLatin1(c.label) << false;
        QTest::addRow("%s, window", c.label) << c.id << QString::fromLatin1(c.label) << true;
    }
}

void StaleDiscTest::idsBelowOneShowAndGoAlike()
{
    QFETCH(qint64, id);
    QFETCH(QString, label);
    QFETCH(bool, window);
    FakeHost host;
    TestCatalogue& cat = host.catalogue;
    cat.addFile(cat.addDisc(QStringLiteral("C"), {}, 5), QStringLiteral("\\"), QStringLiteral("keep.txt"));
    // Written directly: the catalogue's own rules never hand out such an id.
    cat.work->execWith(
        QStringLiteral("insert into cd (id, tipo, data) values (:id, 'C', '2024-05-01 10:00:00')"),
        {{QStringLiteral("id"), id}});
    cat.addFile(id, QStringLiteral("\\"), QStringLiteral("odd.txt"));

    auto cli = [&](const QStringList& args) {
        QProcess process;
        process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tessaro-cli"),
                      QStringList{QStringLiteral("--catalogue"), cat.path()} + args);
        process.waitForFinished(60000);
        return std::make_pair(process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()));
    };
    const auto discs = cli({QStringLiteral("discs")});
    QCOMPARE(discs.first, 0);
    QCOMPARE(discs.second.split(QLatin1Char('\n')).at(1).section(QLatin1Char('\t'), 0, 0), label);
    const auto found = cli({QStringLiteral("search"), QStringLiteral("--disc"), label});
    QCOMPARE(found.first, 0);
    QCOMPARE(found.second, label + QStringLiteral("\t\\odd.txt\t2020-01-01 00:00:00\t0\n"));

    if (window) {
        RecordingMessages messages;
        TfrmDelCD d(host.session(), host.refresh(), messages);
        d.FillDiscList();
        QCOMPARE(windowChild<QComboBox>(d, "ComboBox1")->itemText(1), label);
        windowChild<QComboBox>(d, "ComboBox1")->setCurrentIndex(1);
        messages.answers = {true};
        windowChild<QPushButton>(d, "Button2")->click();
        QVERIFY2(messages.errors.isEmpty(), qPrintable(messages.errors.join(QLatin1Char('\n'))));
    } else {
        const auto removed = cli({QStringLiteral("remove"), label.toLower()});
        QCOMPARE(removed.first, 0);
        QCOMPARE(removed.second, QStringLiteral("Removed ") + label + QLatin1Char('\n'));
    }
    QCOMPARE(cat.scalar(QStringLiteral("select group_concat(id) from cd")).toString(), QStringLiteral("5"));
    QCOMPARE(cat.scalar(QStringLiteral("select group_concat(nome) from files")).toString(),
             QStringLiteral("keep.txt"));
}

QTEST_MAIN(StaleDiscTest)
#include "staledisc_test.moc"
