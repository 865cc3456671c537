#include "catalogue/DiscRecord.h"
#include "search/ResultModel.h"
#include "search/ui/DiscDetails.h"
#include "tests/support/TestCatalogue.h"
#include "tests/support/WindowChild.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

namespace
{
// The item's names from the root down, joined by "/".
QString trail(const QTreeWidgetItem* item)
{
    QStringList names;
    for (; item; item = item->parent())
        names.prepend(item->text(0));
    return names.join(QLatin1Char('/'));
}
} // namespace

class DiscDetailsTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void opensAtTheRowsFolder_data();
    void opensAtTheRowsFolder();
    void okSavesLocationAndNotes();
    void datesAsTheGridShowsThemAndTabMovesOn();
};

void DiscDetailsTest::opensAtTheRowsFolder_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("selected");
    QTest::newRow("deep file") << "\\photos\\2005\\"
                               << "beach.jpg"
                               << "\\/photos/2005/beach.jpg";
    QTest::newRow("other letter case") << "\\PHOTOS\\2005\\"
                                       << "b.jpg"
                                       << "\\/photos/2005/b.jpg";
    QTest::newRow("file in the root") << "\\"
                                      << "readme.txt"
                                      << "\\/readme.txt";
    QTest::newRow("folder only") << "\\photos\\" << QString() << "\\/photos";
    QTest::newRow("folder not on the disc") << "\\gone\\"
                                            << "x"
                                            << "\\";
}

void DiscDetailsTest::opensAtTheRowsFolder()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QFETCH(QString, selected);
    TestCatalogue cat;
    const qint64 id = cat.addDisc(QStringLiteral("C"), QStringLiteral("HOLIDAY"));
    cat.addFile(id, QStringLiteral("\\"), QStringLiteral("readme.txt"), 10);
    cat.addFile(id, QStringLiteral("\\photos\\2005\\"), QStringLiteral("b.jpg"), 300);
    cat.addFile(id, QStringLiteral("\\photos\\2005\\"), QStringLiteral("beach.jpg"), 200);
    cat.addFile(id, QStringLiteral("\\music\\"), QStringLiteral("song.mp3"), 5);
    TfrmDiscDetails window(cat.session);
    window.showDisc(cat.session.discs().front(), path, name);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QTreeWidgetItem* current = windowChild<QTreeWidget>(window, "TreeFolders")->currentItem();
    QVERIFY(current);
    QCOMPARE(trail(current), selected);
    // Counts and sizes of everything below each folder.
    QTreeWidgetItem* root = windowChild<QTreeWidget>(window, "TreeFolders")->topLevelItem(0);
    QCOMPARE(root->text(1), QStringLiteral("4"));
    QCOMPARE(root->text(2), QStringLiteral("515"));
    QCOMPARE(root->child(1)->text(0), QStringLiteral("photos"));
    QCOMPARE(root->child(1)->text(1), QStringLiteral("2"));
    QVERIFY(windowChild<QLabel>(window, "LabelDisc")->text().contains(QLatin1String("HOLIDAY")));
}

void DiscDetailsTest::okSavesLocationAndNotes()
{
    TestCatalogue cat;
    const qint64 id = cat.addDisc(QStringLiteral("D"));
    cat.addFile(id, QStringLiteral("\\"), QStringLiteral("a"), 1);
    const DiscStore::DiscRow disc = cat.session.discs().front();
    TfrmDiscDetails window(cat.session);
    window.showDisc(disc);
    windowChild<QLineEdit>(window, "EditLocation")->setText(QStringLiteral("Shelf 4"));
    windowChild<QPlainTextEdit>(window, "MemoNotes")->setPlainText(QStringLiteral("first\nsecond"));
    windowChild<QPushButton>(window, "ButtonCancel")->click();
    QVERIFY(!DiscRecords::find(cat.connection, disc));
    window.showDisc(disc);
    windowChild<QLineEdit>(window, "EditLocation")->setText(QStringLiteral("Shelf 4"));
    windowChild<QPlainTextEdit>(window, "MemoNotes")->setPlainText(QStringLiteral("first\nsecond"));
    windowChild<QPushButton>(window, "ButtonOK")->click();
    const auto record = DiscRecords::find(cat.connection, disc);
    QVERIFY(record);
    QCOMPARE(record->location, QStringLiteral("Shelf 4"));
    QCOMPARE(record->notes, QStringLiteral("first\nsecond"));
    window.showDisc(disc);
    QCOMPARE(windowChild<QLineEdit>(window, "EditLocation")->text(), QStringLiteral("Shelf 4"));
}

// The window's dates are the grid's, in whatever locale; Tab in the notes moves to the next
// field instead of typing a tab.
void DiscDetailsTest::datesAsTheGridShowsThemAndTabMovesOn()
{
    const QLocale before;
    for (const QLocale& locale :
         {QLocale(QLocale::German, QLocale::Germany), QLocale(QLocale::English, QLocale::UnitedStates)}) {
        QLocale::setDefault(locale);
        TestCatalogue cat;
        const qint64 id = cat.addDisc(QStringLiteral("C"));
        cat.addFile(id, QStringLiteral("\\"), QStringLiteral("a.txt"), 1,
                    QStringLiteral("2021-03-04 17:05:09"));
        const DiscStore::DiscRow disc = cat.session.discs().front();
        TfrmDiscDetails window(cat.session);
        window.showDisc(disc, QStringLiteral("\\"), QStringLiteral("a.txt"));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTreeWidgetItem* file = windowChild<QTreeWidget>(window, "TreeFolders")->currentItem();
        QVERIFY(file);
        QCOMPARE(file->text(3), ResultModel::dateText(QStringLiteral("2021-03-04 17:05:09"), locale));
        const QString catalogued = ResultModel::dateText(disc.date.toString(), locale);
        QVERIFY2(windowChild<QLabel>(window, "LabelFacts")
                     ->text()
                     .contains(QStringLiteral("catalogued ") + catalogued),
                 qPrintable(windowChild<QLabel>(window, "LabelFacts")->text()));

        window.activateWindow();
        windowChild<QPlainTextEdit>(window, "MemoNotes")->setFocus();
        QTest::keyClick(windowChild<QPlainTextEdit>(window, "MemoNotes"), Qt::Key_Tab);
        QCOMPARE(windowChild<QPlainTextEdit>(window, "MemoNotes")->toPlainText(), QString());
        QVERIFY(window.focusWidget() &&
                window.focusWidget() != windowChild<QPlainTextEdit>(window, "MemoNotes"));
    }
    QLocale::setDefault(before);
}

QTEST_MAIN(DiscDetailsTest)
#include "discdetails_test.moc"
