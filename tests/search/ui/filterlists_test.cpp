#include "catalogue/DiscStore.h"
#include "search/FilterLists.h"
#include "search/ui/ExtensionItemDelegate.h"
#include "search/ui/FilterPanel.h"
#include "tests/support/ComboItems.h"
#include "tests/support/TestCatalogue.h"
#include "tests/support/WindowChild.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QPainter>
#include <QStandardItemModel>
#include <QtTest>

class FilterListsTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void extensionEntryRule_data();
    void extensionEntryRule();
    void listsComeFromTheCatalogue();
    void emptyCatalogueShowsPlaceholdersDisabled();
    void loadFiltersResetsTheFilters();
    void refreshKeepsChosenEntriesAndOtherFilters();
    void refreshOfAnEmptiedCatalogueUnticksBothLists();
    void refreshPicksTheLastEqualEntry();
    void extensionEntryIsDrawnWithItsIcon();
    void datePickersKeepTheirTimeOfDay();
};

void FilterListsTest::extensionEntryRule_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("listed");
    QTest::addColumn<QString>("entry");
    QTest::newRow("upper case folds") << ".TXT" << true << "txt";
    QTest::newRow("blanks and controls trimmed") << " \t.Jpg\r\n" << true << "jpg";
    QTest::newRow("only A to Z fold") << QStringLiteral(".ÄBÇ") << true << QStringLiteral("ÄbÇ");
    QTest::newRow("inner blank stays") << ".my ext" << true << "my ext";
    QTest::newRow("empty skipped") << "" << false << "";
    QTest::newRow("blanks only skipped") << " \x01 " << false << "";
    QTest::newRow("lone dot gives an empty entry") << "." << true << "";
}

void FilterListsTest::extensionEntryRule()
{
    QFETCH(QString, stored);
    QFETCH(bool, listed);
    QFETCH(QString, entry);
    QString got;
    QCOMPARE(FilterLists::extensionEntry(stored, got), listed);
    if (listed)
        QCOMPARE(got, entry);
}

void FilterListsTest::listsComeFromTheCatalogue()
{
    TestCatalogue cat;
    const qint64 c1 = cat.addDisc(QStringLiteral("C"));
    const qint64 d2 = cat.addDisc(QStringLiteral("D"));
    cat.addDisc(QStringLiteral("C"), {}, 12345);
    cat.addFile(c1, QStringLiteral("\\"), QStringLiteral("a.TXT"));
    cat.addFile(d2, QStringLiteral("\\x\\"), QStringLiteral("b.txt"));
    cat.addFile(d2, QStringLiteral("\\x\\"), QStringLiteral("README"));
    cat.addFile(d2, QStringLiteral("\\x\\"), QStringLiteral("photo.JPG"));
    cat.addFile(d2, QStringLiteral("\\x\\"), QStringLiteral("z.avi"));
    QCOMPARE(FilterLists::discLabels(cat.session),
             (QStringList{QStringLiteral("C12345"), QStringLiteral("D0002"), QStringLiteral("C0001")}));
    QCOMPARE(FilterLists::extensionEntries(cat.session),
             (QStringList{QStringLiteral("avi"), QStringLiteral("jpg"), QStringLiteral("txt")}));
}

void FilterListsTest::emptyCatalogueShowsPlaceholdersDisabled()
{
    TestCatalogue cat;
    TFilterPanel panel;
    panel.LoadFilters(cat.session);
    QCOMPARE(comboItems(windowChild<QComboBox>(panel, "ComboBox1")), QStringList{QStringLiteral("- None -")});
    QCOMPARE(comboItems(windowChild<QComboBox>(panel, "ComboBox2")), QStringList{QStringLiteral("- None -")});
    QVERIFY(!windowChild<QComboBox>(panel, "ComboBox1")->isEnabled());
    QVERIFY(!windowChild<QCheckBox>(panel, "CheckBox1")->isEnabled());
    QVERIFY(!windowChild<QComboBox>(panel, "ComboBox2")->isEnabled());
    QVERIFY(!windowChild<QCheckBox>(panel, "CheckBox5")->isEnabled());
    QVERIFY(!windowChild<QCheckBox>(panel, "CheckBox5")->isChecked());
    QCOMPARE(panel.extensionIcons().size(), 1);
    QVERIFY(!panel.extensionIcons().first().isNull());
}

void FilterListsTest::loadFiltersResetsTheFilters()
{
    TestCatalogue cat;
    const qint64 disc = cat.addDisc(QStringLiteral("D"));
    cat.addFile(disc, QStringLiteral("\\"), QStringLiteral("a.txt"));
    cat.addFile(disc, QStringLiteral("\\"), QStringLiteral("b.png"));
    TFilterPanel panel;
    for (QCheckBox* box :
         {windowChild<QCheckBox>(panel, "CheckBox1"), windowChild<QCheckBox>(panel, "CheckBox2"),
          windowChild<QCheckBox>(panel, "CheckBox3"), windowChild<QCheckBox>(panel, "CheckBox4")})
        box->setChecked(true);
    windowChild<QLineEdit>(panel, "Edit2")->setText(QStringLiteral("*.txt"));
    windowChild<QDateTimeEdit>(panel, "DateTimePicker1")->setDate(QDate(2001, 2, 3));
    windowChild<QDateTimeEdit>(panel, "DateTimePicker2")->setDate(QDate(2001, 2, 3));
    panel.LoadFilters(cat.session);

    for (QCheckBox* box :
         {windowChild<QCheckBox>(panel, "CheckBox1"), windowChild<QCheckBox>(panel, "CheckBox2"),
          windowChild<QCheckBox>(panel, "CheckBox3"), windowChild<QCheckBox>(panel, "CheckBox4")})
        QVERIFY(!box->isChecked());
    QVERIFY(windowChild<QLineEdit>(panel, "Edit2")->text().isEmpty());
    QCOMPARE(windowChild<QDateTimeEdit>(panel, "DateTimePicker1")->dateTime(),
             QDateTime(QDate::currentDate(), QTime(0, 0, 0)));
    QCOMPARE(windowChild<QDateTimeEdit>(panel, "DateTimePicker2")->dateTime(),
             QDateTime(QDate::currentDate(), QTime(23, 59, 59)));
    QCOMPARE(comboItems(windowChild<QComboBox>(panel, "ComboBox1")), QStringList{QStringLiteral("D0001")});
    QCOMPARE(comboItems(windowChild<QComboBox>(panel, "ComboBox2")),
             (QStringList{QStringLiteral("png"), QStringLiteral("txt")}));
    QVERIFY(windowChild<QComboBox>(panel, "ComboBox1")->isEnabled() &&
            windowChild<QCheckBox>(panel, "CheckBox1")->isEnabled());
    QVERIFY(windowChild<QComboBox>(panel, "ComboBox2")->isEnabled() &&
            windowChild<QCheckBox>(panel, "CheckBox5")->isEnabled());
    QCOMPARE(windowChild<QComboBox>(panel, "ComboBox1")->currentIndex(), 0);
    QCOMPARE(windowChild<QComboBox>(panel, "ComboBox2")->currentIndex(), 0);
    QCOMPARE(panel.extensionIcons().size(), windowChild<QComboBox>(panel, "ComboBox2")->count());
    QCOMPARE(panel.extensionIcons().at(0).name(), QStringLiteral("image-png"));
    QCOMPARE(panel.extensionIcons().at(1).name(), QStringLiteral("text-plain"));
}

void FilterListsTest::refreshKeepsChosenEntriesAndOtherFilters()
{
    TestCatalogue cat;
    const qint64 c1 = cat.addDisc(QStringLiteral("C"));
    const qint64 d2 = cat.addDisc(QStringLiteral("D"));
    cat.addFile(c1, QStringLiteral("\\"), QStringLiteral("a.txt"));
    cat.addFile(d2, QStringLiteral("\\"), QStringLiteral("b.zip"));
    TFilterPanel panel;
    panel.LoadFilters(cat.session);
    windowChild<QComboBox>(panel, "ComboBox1")->setCurrentText(QStringLiteral("C0001"));
    windowChild<QComboBox>(panel, "ComboBox2")->setCurrentText(QStringLiteral("zip"));
    windowChild<QCheckBox>(panel, "CheckBox1")->setChecked(true);
    windowChild<QCheckBox>(panel, "CheckBox2")->setChecked(true);
    windowChild<QCheckBox>(panel, "CheckBox5")->setChecked(true);
    windowChild<QLineEdit>(panel, "Edit2")->setText(QStringLiteral("*report*"));
    windowChild<QDateTimeEdit>(panel, "DateTimePicker1")->setDate(QDate(2010, 1, 1));

    const qint64 c3 = cat.addDisc(QStringLiteral("C"));
    cat.addFile(c3, QStringLiteral("\\"), QStringLiteral("c.avi"));
    panel.RefreshFilters(cat.session);

    QCOMPARE(comboItems(windowChild<QComboBox>(panel, "ComboBox1")),
             (QStringList{QStringLiteral("C0003"), QStringLiteral("D0002"), QStringLiteral("C0001")}));
    QCOMPARE(windowChild<QComboBox>(panel, "ComboBox1")->currentText(), QStringLiteral("C0001"));
    QCOMPARE(comboItems(windowChild<QComboBox>(panel, "ComboBox2")),
             (QStringList{QStringLiteral("avi"), QStringLiteral("txt"), QStringLiteral("zip")}));
    QCOMPARE(windowChild<QComboBox>(panel, "ComboBox2")->currentText(), QStringLiteral("zip"));
    QCOMPARE(panel.extensionIcons().size(), 3);
    QCOMPARE(panel.extensionIcons().at(2).name(), QStringLiteral("application-zip"));
    QVERIFY(windowChild<QCheckBox>(panel, "CheckBox1")->isChecked() &&
            windowChild<QCheckBox>(panel, "CheckBox2")->isChecked() &&
            windowChild<QCheckBox>(panel, "CheckBox5")->isChecked());
    QCOMPARE(windowChild<QLineEdit>(panel, "Edit2")->text(), QStringLiteral("*report*"));
    QCOMPARE(windowChild<QDateTimeEdit>(panel, "DateTimePicker1")->dateTime(),
             QDateTime(QDate(2010, 1, 1), QTime(0, 0, 0)));

    // A chosen entry that went away leaves the first one selected.
    DiscStore::removeDisc(*cat.work, c1);
    panel.RefreshFilters(cat.session);
    QCOMPARE(windowChild<QComboBox>(panel, "ComboBox1")->currentIndex(), 0);
    QCOMPARE(windowChild<QComboBox>(panel, "ComboBox1")->currentText(), QStringLiteral("C0003"));
    QCOMPARE(windowChild<QComboBox>(panel, "ComboBox2")->currentText(), QStringLiteral("zip"));
}

void FilterListsTest::refreshOfAnEmptiedCatalogueUnticksBothLists()
{
    TestCatalogue cat;
    const qint64 disc = cat.addDisc(QStringLiteral("C"));
    cat.addFile(disc, QStringLiteral("\\"), QStringLiteral("a.txt"));
    TFilterPanel panel;
    panel.LoadFilters(cat.session);
    windowChild<QCheckBox>(panel, "CheckBox1")->setChecked(true);
    windowChild<QCheckBox>(panel, "CheckBox3")->setChecked(true);
    windowChild<QCheckBox>(panel, "CheckBox5")->setChecked(true);
    DiscStore::removeDisc(*cat.work, disc);
    panel.RefreshFilters(cat.session);
    QVERIFY(!windowChild<QCheckBox>(panel, "CheckBox1")->isChecked() &&
            !windowChild<QCheckBox>(panel, "CheckBox1")->isEnabled());
    QVERIFY(!windowChild<QCheckBox>(panel, "CheckBox5")->isChecked() &&
            !windowChild<QCheckBox>(panel, "CheckBox5")->isEnabled());
    QVERIFY(windowChild<QCheckBox>(panel, "CheckBox3")->isChecked());
    QCOMPARE(windowChild<QComboBox>(panel, "ComboBox1")->currentText(), QStringLiteral("- None -"));
    QCOMPARE(windowChild<QComboBox>(panel, "ComboBox2")->currentText(), QStringLiteral("- None -"));
}

void FilterListsTest::refreshPicksTheLastEqualEntry()
{
    // ".txt" and ".txt " are distinct in the catalogue but give the same entry after trimming.
    TestCatalogue cat;
    const qint64 disc = cat.addDisc(QStringLiteral("C"));
    cat.addFile(disc, QStringLiteral("\\"), QStringLiteral("a.txt"));
    cat.addFile(disc, QStringLiteral("\\"), QStringLiteral("b.txt "));
    TFilterPanel panel;
    panel.LoadFilters(cat.session);
    QCOMPARE(comboItems(windowChild<QComboBox>(panel, "ComboBox2")),
             (QStringList{QStringLiteral("txt"), QStringLiteral("txt")}));
    panel.RefreshFilters(cat.session);
    QCOMPARE(windowChild<QComboBox>(panel, "ComboBox2")->currentIndex(), 1);
}

void FilterListsTest::extensionEntryIsDrawnWithItsIcon()
{
    QPixmap red(16, 16);
    red.fill(Qt::red);
    const QList<QIcon> icons{QIcon(red)};
    ExtensionItemDelegate delegate(icons, nullptr);
    QStandardItemModel model;
    model.appendRow(new QStandardItem(QStringLiteral("WWWW")));

    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 80, ExtensionItemDelegate::ItemHeight);
    option.palette.setColor(QPalette::Base, Qt::white);
    option.palette.setColor(QPalette::Text, Qt::black);
    option.palette.setColor(QPalette::Highlight, Qt::blue);
    option.palette.setColor(QPalette::HighlightedText, Qt::white);
    QCOMPARE(delegate.sizeHint(option, model.index(0, 0)).height(), 18);

    QImage image(80, 18, QImage::Format_RGB32);
    image.fill(Qt::green);
    {
        QPainter painter(&image);
        delegate.paint(&painter, option, model.index(0, 0));
    }
    QCOMPARE(QColor(image.pixel(0, 0)), QColor(Qt::white));
    QCOMPARE(QColor(image.pixel(1, 1)), QColor(Qt::red));
    QCOMPARE(QColor(image.pixel(16, 16)), QColor(Qt::red));
    QCOMPARE(QColor(image.pixel(17, 1)), QColor(Qt::white));
    // The text starts 21 pixels in: nothing dark between the icon and there, something after.
    bool darkBefore = false;
    bool darkAfter = false;
    for (int y = 0; y < 18; ++y) {
        for (int x = 17; x < 21; ++x)
            darkBefore = darkBefore || qGray(image.pixel(x, y)) < 128;
        for (int x = 21; x < 60; ++x)
            darkAfter = darkAfter || qGray(image.pixel(x, y)) < 128;
    }
    QVERIFY(!darkBefore);
    QVERIFY(darkAfter);

    option.state |= QStyle::State_Selected;
    {
        QPainter painter(&image);
        delegate.paint(&painter, option, model.index(0, 0));
    }
    QCOMPARE(QColor(image.pixel(0, 0)), QColor(Qt::blue));
    QCOMPARE(QColor(image.pixel(1, 1)), QColor(Qt::red));
}

void FilterListsTest::datePickersKeepTheirTimeOfDay()
{
    TFilterPanel panel;
    panel.show();
    QDateTimeEdit* to = windowChild<QDateTimeEdit>(panel, "DateTimePicker2");
    to->setFocus();
    to->setSelectedSection(QDateTimeEdit::YearSection);
    QTest::keyClick(to, Qt::Key_Down);
    QCOMPARE(to->time(), QTime(23, 59, 59));
    QCOMPARE(to->date().year(), QDate::currentDate().year() - 1);
    windowChild<QDateTimeEdit>(panel, "DateTimePicker1")->setDate(QDate(2004, 2, 29));
    QCOMPARE(windowChild<QDateTimeEdit>(panel, "DateTimePicker1")->dateTime(),
             QDateTime(QDate(2004, 2, 29), QTime(0, 0, 0)));
}

QTEST_MAIN(FilterListsTest)
#include "filterlists_test.moc"
