#include "maintenance/ui/UnDelCD.h"
#include "tests/maintenance/MaintenanceFixture.h"
#include "tests/support/RecordingMessages.h"
#include "tests/support/WindowChild.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>

class DelCdTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void controlsSitAtTheirPlaces();
    void emptyCatalogueClosesWithoutAsking();
    void removesTheChosenDiscAndRefreshes();
    void answeringNoChangesNothing();
    void failedRemovalLeavesTheDiscWhole();
};

void DelCdTest::controlsSitAtTheirPlaces()
{
    FakeHost host;
    RecordingMessages messages;
    TfrmDelCD d(host.session(), host.refresh(), messages);
    QCOMPARE(d.windowTitle(), QStringLiteral("Remove CD"));
    QCOMPARE(d.size(), QSize(190, 133));
    QCOMPARE(windowChild<QFrame>(d, "Panel1")->geometry(), QRect(0, 0, 190, 133));
    QCOMPARE(windowChild<QLabel>(d, "Label1")->pos(), QPoint(14, 39));
    QCOMPARE(windowChild<QLabel>(d, "Label1")->text(), QStringLiteral("CD:"));
    QCOMPARE(windowChild<QComboBox>(d, "ComboBox1")->geometry(), QRect(44, 36, 117, 21));
    QCOMPARE(windowChild<QComboBox>(d, "ComboBox1")->toolTip(), QStringLiteral("CD ID"));
    QCOMPARE(windowChild<QPushButton>(d, "Button1")->geometry(), QRect(14, 79, 51, 22));
    QCOMPARE(windowChild<QPushButton>(d, "Button2")->geometry(), QRect(124, 79, 51, 22));
    QCOMPARE(windowChild<QPushButton>(d, "Button1")->text(), QStringLiteral("&Cancel"));
    QCOMPARE(windowChild<QPushButton>(d, "Button2")->text(), QStringLiteral("&OK"));
    QCOMPARE(windowChild<QStatusBar>(d, "StatusBar1")->height(), 19);
    for (QPushButton* b : d.findChildren<QPushButton*>())
        QVERIFY(!b->autoDefault() && !b->isDefault());
    d.show();
    QTest::keyClick(&d, Qt::Key_Escape);
    QTest::keyClick(&d, Qt::Key_Return);
    QVERIFY(d.isVisible());
    d.close(); // the exit button closes at once
    QVERIFY(!d.isVisible());
}

void DelCdTest::emptyCatalogueClosesWithoutAsking()
{
    FakeHost host;
    RecordingMessages messages;
    TfrmDelCD d(host.session(), host.refresh(), messages);
    d.FillDiscList();
    QCOMPARE(windowChild<QComboBox>(d, "ComboBox1")->count(), 1);
    QCOMPARE(windowChild<QComboBox>(d, "ComboBox1")->currentText(), QStringLiteral("- None -"));
    QVERIFY(!windowChild<QComboBox>(d, "ComboBox1")->isEnabled());
    d.show();
    windowChild<QPushButton>(d, "Button2")->click();
    QVERIFY(!d.isVisible());
    QVERIFY(messages.questions.isEmpty());
    QCOMPARE(host.refreshes, 0);
}

void DelCdTest::removesTheChosenDiscAndRefreshes()
{
    FakeHost host;
    TestCatalogue& cat = host.catalogue;
    for (int i = 1; i <= 6; ++i)
        cat.addFile(cat.addDisc(i % 2 ? QStringLiteral("C") : QStringLiteral("D")), QStringLiteral("\\"),
                    QStringLiteral("f%1.txt").arg(i));
    const qint64 seven = cat.addDisc(QStringLiteral("D"));
    QCOMPARE(seven, 7);
    for (int i = 0; i < 5; ++i)
        cat.addFile(seven, QStringLiteral("\\x\\"), QStringLiteral("g%1.jpg").arg(i));
    RecordingMessages messages;
    TfrmDelCD d(host.session(), host.refresh(), messages);
    d.FillDiscList();
    QCOMPARE(windowChild<QComboBox>(d, "ComboBox1")->count(), 7);
    QCOMPARE(windowChild<QComboBox>(d, "ComboBox1")->itemText(0), QStringLiteral("D0007"));
    QCOMPARE(windowChild<QComboBox>(d, "ComboBox1")->itemText(6), QStringLiteral("C0001"));
    QCOMPARE(windowChild<QComboBox>(d, "ComboBox1")->currentIndex(), 0);
    QVERIFY(windowChild<QComboBox>(d, "ComboBox1")->isEnabled());
    d.show();
    messages.answers = {true};
    windowChild<QPushButton>(d, "Button2")->click();
    QCOMPARE(messages.questions, QStringList{QStringLiteral("Remove CD from the archive?")});
    QVERIFY(!d.isVisible());
    QCOMPARE(host.refreshes, 1);
    QCOMPARE(cat.scalar(QStringLiteral("select count(*) from files where id_cd = 7")).toInt(), 0);
    QCOMPARE(cat.scalar(QStringLiteral("select count(*) from cd where id = 7")).toInt(), 0);
    QCOMPARE(cat.count(QStringLiteral("cd")), 6);
    QCOMPARE(cat.count(QStringLiteral("files")), 6);

    d.FillDiscList();
    QCOMPARE(windowChild<QComboBox>(d, "ComboBox1")->itemText(0), QStringLiteral("D0006"));
    windowChild<QComboBox>(d, "ComboBox1")->setCurrentText(QStringLiteral("D0002"));
    messages.answers = {true};
    d.show();
    windowChild<QPushButton>(d, "Button2")->click();
    QCOMPARE(
        cat.scalar(QStringLiteral("select group_concat(id) from (select id from cd order by id)")).toString(),
        QStringLiteral("1,3,4,5,6"));
}

void DelCdTest::answeringNoChangesNothing()
{
    FakeHost host;
    host.catalogue.addFile(host.catalogue.addDisc(QStringLiteral("C")), QStringLiteral("\\"),
                           QStringLiteral("a"));
    RecordingMessages messages;
    TfrmDelCD d(host.session(), host.refresh(), messages);
    d.FillDiscList();
    d.show();
    windowChild<QPushButton>(d, "Button2")->click();
    QCOMPARE(messages.questions.size(), 1);
    QVERIFY(d.isVisible());
    QCOMPARE(host.catalogue.count(QStringLiteral("files")), 1);
    QCOMPARE(host.catalogue.count(QStringLiteral("cd")), 1);
    QCOMPARE(host.refreshes, 0);
    windowChild<QPushButton>(d, "Button1")->click();
    QVERIFY(!d.isVisible());
    QCOMPARE(messages.questions.size(), 1);
}

void DelCdTest::failedRemovalLeavesTheDiscWhole()
{
    FakeHost host;
    const qint64 disc = host.catalogue.addDisc(QStringLiteral("D"));
    host.catalogue.addFile(disc, QStringLiteral("\\"), QStringLiteral("a.txt"));
    host.catalogue.addFile(disc, QStringLiteral("\\"), QStringLiteral("b.txt"));
    // The disc row's delete fails after its files' delete went through.
    host.catalogue.connection.exec(
        "create temp trigger refuse before delete on cd begin select raise(abort, 'disk I/O error'); end");
    RecordingMessages messages;
    TfrmDelCD d(host.session(), host.refresh(), messages);
    d.FillDiscList();
    d.show();
    messages.answers = {true};
    windowChild<QPushButton>(d, "Button2")->click();
    QCOMPARE(messages.errors, QStringList{QStringLiteral("disk I/O error")});
    QVERIFY(d.isVisible());
    QCOMPARE(host.refreshes, 0);
    QCOMPARE(host.catalogue.count(QStringLiteral("files")), 2);
    QCOMPARE(host.catalogue.count(QStringLiteral("cd")), 1);
}

QTEST_MAIN(DelCdTest)
#include "delcd_test.moc"
