#include "app/ui/BalloonHint.h"
#include "app/ui/BalloonHintFilter.h"
#include "app/ui/UnMyForm.h"
#include "maintenance/ui/UnDelCD.h"
#include "maintenance/ui/UnNewCD.h"
#include "search/ResultSet.h"
#include "search/ui/DiscDetails.h"
#include "search/ui/FilterPanel.h"
#include "search/ui/GridRequisiti.h"
#include "settings/NameSearchSetting.h"
#include "settings/ui/UnSettings.h"
#include "tests/maintenance/ImageFixture.h"
#include "tests/support/ComboItems.h"
#include "tests/support/RecordingMessages.h"
#include "tests/support/TestCatalogue.h"
#include "tests/support/WhenShown.h"
#include "tests/support/WindowChild.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>
#include <functional>
#include <unistd.h>

namespace
{

void fill(TestCatalogue& cat)
{
    for (int i = 1; i <= 6; ++i)
        cat.addFile(cat.addDisc(QStringLiteral("C")), QStringLiteral("\\"), QStringLiteral("f%1.txt").arg(i));
    const qint64 seven = cat.addDisc(QStringLiteral("D"));
    cat.addFile(seven, QStringLiteral("\\photos\\"), QStringLiteral("a.JPG"));
    cat.addFile(seven, QStringLiteral("\\photos\\"), QStringLiteral("b.txt"));
}
} // namespace

class MainWindowFiltersTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void startupFillsTheLists();
    void unwritableWorkingDirectoryStillStarts();
    void removalRefreshesTheLists();
    void newDiscDialogOpensReadyAndOkRefreshes();
    void gridRowOpensDiscDetailsAndFindsCopies();
    void droppedFolderOrImageIsCatalogued_data();
    void droppedFolderOrImageIsCatalogued();
    void listsFollowOtherProcesses();
    void firstSearchesOfAPartOfAName_data();
    void firstSearchesOfAPartOfAName();
    void gridMenuFromTheKeyboardInTheWindowsFace();
};

void MainWindowFiltersTest::startupFillsTheLists()
{
    TestCatalogue cat;
    fill(cat);
    RecordingMessages messages;
    Catalogue session;
    TPersonalForm form(messages, session, cat.path());
    QVERIFY(messages.messages.isEmpty());
    TFilterPanel* panel = windowChild<TFilterPanel>(form, "Panel4");
    QCOMPARE(windowChild<QComboBox>(panel, "ComboBox1")->count(), 7);
    QCOMPARE(windowChild<QComboBox>(panel, "ComboBox1")->currentText(), QStringLiteral("D0007"));
    QCOMPARE(comboItems(windowChild<QComboBox>(panel, "ComboBox2")),
             (QStringList{QStringLiteral("jpg"), QStringLiteral("txt")}));
    QCOMPARE(panel->extensionIcons().size(), 2);
    QCOMPARE(panel->extensionIcons().at(0).name(), QStringLiteral("image-jpeg"));
    QVERIFY(windowChild<QCheckBox>(panel, "CheckBox1")->isEnabled() &&
            !windowChild<QCheckBox>(panel, "CheckBox1")->isChecked());
}

void MainWindowFiltersTest::unwritableWorkingDirectoryStillStarts()
{
    // Started from a desktop menu the working directory is often not writable: the icons
    // then come from the names alone, and the program starts all the same.
    TestCatalogue cat;
    fill(cat);
    QTemporaryDir dir;
    QString folder = QStringLiteral("/proc");
    if (::geteuid() != 0) {
        folder = dir.path();
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    }
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(folder));
    RecordingMessages messages;
    {
        Catalogue session;
        TPersonalForm form(messages, session, cat.path());
        QDir::setCurrent(previous);
        QVERIFY2(messages.messages.isEmpty(), qPrintable(messages.messages.join(QLatin1Char('|'))));
        QVERIFY(session.connection().connected());
        QVERIFY(!windowChild<QTimer>(form, "Timer2")->isActive());
        QCOMPARE(windowChild<TFilterPanel>(form, "Panel4")->extensionIcons().size(), 2);
        QCOMPARE(windowChild<TFilterPanel>(form, "Panel4")->extensionIcons().at(1).name(),
                 QStringLiteral("text-plain"));
    }
    QDir::setCurrent(previous);
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void MainWindowFiltersTest::removalRefreshesTheLists()
{
    TestCatalogue cat;
    fill(cat);
    RecordingMessages messages;
    Catalogue session;
    TPersonalForm form(messages, session, cat.path());
    TFilterPanel* panel = windowChild<TFilterPanel>(form, "Panel4");
    windowChild<QComboBox>(panel, "ComboBox1")->setCurrentText(QStringLiteral("C0003"));
    windowChild<QComboBox>(panel, "ComboBox2")->setCurrentText(QStringLiteral("txt"));
    windowChild<QCheckBox>(panel, "CheckBox5")->setChecked(true);
    messages.answers = {true};
    QStringList offered;
    whenShown<TfrmDelCD>([&](TfrmDelCD* dialog) {
        offered = comboItems(windowChild<QComboBox>(dialog, "ComboBox1"));
        windowChild<QComboBox>(dialog, "ComboBox1")->setCurrentText(QStringLiteral("D0007"));
        windowChild<QPushButton>(dialog, "Button2")->click();
    });
    windowChild<QToolButton>(form, "ToolButton2")->click();
    QCOMPARE(offered.size(), 7);
    QCOMPARE(messages.questions, QStringList{QStringLiteral("Remove CD from the archive?")});
    QVERIFY(!windowChild<TfrmDelCD>(form, "frmDelCD")->isVisible());
    QVERIFY(!comboItems(windowChild<QComboBox>(panel, "ComboBox1")).contains(QStringLiteral("D0007")));
    QCOMPARE(windowChild<QComboBox>(panel, "ComboBox1")->currentText(), QStringLiteral("C0003"));
    QCOMPARE(comboItems(windowChild<QComboBox>(panel, "ComboBox2")), QStringList{QStringLiteral("txt")});
    QCOMPARE(windowChild<QComboBox>(panel, "ComboBox2")->currentText(), QStringLiteral("txt"));
    QVERIFY(windowChild<QCheckBox>(panel, "CheckBox5")->isChecked());
    QCOMPARE(panel->extensionIcons().size(), 1);
    QCOMPARE(cat.scalar(QStringLiteral("select count(*) from files where id_cd = 7")).toInt(), 0);
}

void MainWindowFiltersTest::newDiscDialogOpensReadyAndOkRefreshes()
{
    TestCatalogue cat;
    RecordingMessages messages;
    Catalogue session;
    TPersonalForm form(messages, session, cat.path());
    QCOMPARE(windowChild<QComboBox>(form, "ComboBox1")->currentText(), QStringLiteral("- None -"));
    windowChild<QComboBox>(windowChild<TfrmNewCD>(form, "frmNewCD"), "ComboBox1")->setCurrentIndex(1);
    windowChild<QComboBox>(windowChild<TfrmNewCD>(form, "frmNewCD"), "ComboBox1")->setEnabled(false);
    bool ready = false;
    whenShown<TfrmNewCD>([&](TfrmNewCD* dialog) {
        ready = windowChild<QComboBox>(dialog, "ComboBox1")->isEnabled() &&
                windowChild<QComboBox>(dialog, "ComboBox1")->currentText() == QStringLiteral("CD") &&
                windowChild<QToolButton>(dialog, "SpeedButton3")->isEnabled();
        // A disc catalogued meanwhile (by another instance) shows after OK.
        cat.addDisc(QStringLiteral("D"));
        windowChild<QPushButton>(dialog, "Button2")->click();
    });
    windowChild<QToolButton>(form, "ToolButton1")->click();
    QVERIFY(ready);
    QVERIFY(!windowChild<TfrmNewCD>(form, "frmNewCD")->isVisible());
    QCOMPARE(comboItems(windowChild<QComboBox>(form, "ComboBox1")), QStringList{QStringLiteral("D0001")});
    QVERIFY(windowChild<QCheckBox>(form, "CheckBox1")->isEnabled());
}

void MainWindowFiltersTest::gridRowOpensDiscDetailsAndFindsCopies()
{
    TestCatalogue cat;
    fill(cat);
    const qint64 eight = cat.addDisc(QStringLiteral("C"), QStringLiteral("BACKUP"));
    cat.addFile(eight, QStringLiteral("\\old\\"), QStringLiteral("A.jpg"));
    cat.addFile(eight, QStringLiteral("\\old\\"), QStringLiteral("B.png"), 7);
    RecordingMessages messages;
    Catalogue session;
    TPersonalForm form(messages, session, cat.path());
    form.resize(800, 600);
    form.show();
    windowChild<QCheckBox>(form, "CheckBox2")->setChecked(true);
    windowChild<QLineEdit>(form, "Edit2")->setText(QStringLiteral("*.jpg"));
    form.search();
    TGridRequisiti* grid = windowChild<TGridRequisiti>(form, "GridRequisiti");
    QCOMPARE(grid->model()->rowCount(), 2);
    QWidget* rows = grid->viewport();
    const QPoint first = grid->visualRect(grid->model()->index(0, 1)).center();

    // A double-click opens the disc's details at the row's file.
    QString selected;
    whenShown<TfrmDiscDetails>([&](TfrmDiscDetails* dialog) {
        if (QTreeWidgetItem* item = windowChild<QTreeWidget>(dialog, "TreeFolders")->currentItem())
            selected = windowChild<QLabel>(dialog, "LabelDisc")->text() + QLatin1Char('|') + item->text(0);
        windowChild<QPushButton>(dialog, "ButtonCancel")->click();
    });
    QTest::mouseClick(rows, Qt::LeftButton, {}, first);
    QTest::mouseDClick(rows, Qt::LeftButton, {}, first);
    QVERIFY2(selected.startsWith(QStringLiteral("D0007")) && selected.endsWith(QStringLiteral("|a.JPG")),
             qPrintable(selected));

    // The context menu's entries do what they say: "Find copies" fills the grid and the count.
    const auto chooseFromMenu = [&](const QString& entry) {
        QString offered;
        QTimer::singleShot(50, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return;
            for (QAction* action : menu->actions()) {
                offered += action->text() + QLatin1Char('|');
                if (action->text() == entry)
                    menu->setActiveAction(action);
            }
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QContextMenuEvent click(QContextMenuEvent::Mouse, first, rows->mapToGlobal(first));
        QApplication::sendEvent(rows, &click);
        return offered;
    };
    QCOMPARE(chooseFromMenu(QStringLiteral("Find copies")),
             QStringLiteral("Disc details\u2026|Copy|Find copies|Only on this disc|"));
    QCOMPARE(grid->model()->rowCount(), 1);
    QCOMPARE(form.resultQuery().rows().cdid(0) + form.resultQuery().rows().file(0),
             QStringLiteral("C0008\\old\\A.jpg"));
    QCOMPARE(windowChild<QLabel>(form, "StatusPanel1")->text(), QStringLiteral("1 copy of a.JPG"));

    // Alt+Left brings the search back; its rows sorted by a title act as the rows shown.
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QTest::keyClick(&form, Qt::Key_Left, Qt::AltModifier);
    QCOMPARE(grid->model()->rowCount(), 2);
    QCOMPARE(windowChild<QLabel>(form, "StatusPanel1")->text(), QStringLiteral("2 files found"));
    QHeaderView* titles = grid->horizontalHeader();
    const QPoint cdTitle(titles->sectionViewportPosition(0) + 5, titles->height() / 2);
    QTest::mouseClick(titles->viewport(), Qt::LeftButton, {}, cdTitle);
    QCOMPARE(grid->model()->index(0, 0).data().toString(), QStringLiteral("D0007"));
    QTest::mouseClick(titles->viewport(), Qt::LeftButton, {}, cdTitle);
    QCOMPARE(grid->model()->index(0, 0).data().toString(), QStringLiteral("C0008"));
    chooseFromMenu(QStringLiteral("Find copies"));
    QCOMPARE(form.resultQuery().rows().cdid(0) + form.resultQuery().rows().file(0),
             QStringLiteral("D0007\\photos\\a.JPG"));
    QCOMPARE(windowChild<QLabel>(form, "StatusPanel1")->text(), QStringLiteral("1 copy of A.jpg"));
    // Going back, the rows come in the order they were shown in.
    QTest::keyClick(&form, Qt::Key_Left, Qt::AltModifier);
    QCOMPARE(grid->model()->index(0, 0).data().toString(), QStringLiteral("C0008"));
    QCOMPARE(titles->sortIndicatorSection(), 0);
    // "Only on this disc": the empty A.jpg proves nothing either way; B.png is nowhere else.
    chooseFromMenu(QStringLiteral("Only on this disc"));
    QCOMPARE(grid->model()->rowCount(), 1);
    QCOMPARE(form.resultQuery().rows().cdid(0) + form.resultQuery().rows().file(0),
             QStringLiteral("C0008\\old\\B.png"));
    QCOMPARE(windowChild<QLabel>(form, "StatusPanel1")->text(), QStringLiteral("1 files found"));
    QVERIFY(messages.messages.isEmpty());
}

void MainWindowFiltersTest::droppedFolderOrImageIsCatalogued_data()
{
    QTest::addColumn<bool>("image");
    QTest::addColumn<QString>("label");
    QTest::newRow("folder") << false << QString();
    QTest::newRow("image") << true << QStringLiteral("Holiday_2005");
}

void MainWindowFiltersTest::droppedFolderOrImageIsCatalogued()
{
    QFETCH(bool, image);
    QFETCH(QString, label);
    TestCatalogue cat;
    fill(cat);
    QTemporaryDir dropped;
    const QString tree = dropped.filePath(QStringLiteral("holiday"));
    QVERIFY(ImageFixture::writeTree(
        tree, {{QStringLiteral("beach.jpg"), 3, QStringLiteral("2005-08-01 10:00:00")},
               {QStringLiteral("2005/sea.jpg"), 5, QStringLiteral("2005-08-02 11:00:00")}}));
    QString root = tree;
    if (image) {
        root = dropped.filePath(QStringLiteral("holiday.iso"));
        const QString failure =
            ImageFixture::run(QStringLiteral("genisoimage"),
                              {QStringLiteral("-quiet"), QStringLiteral("-V"), label, QStringLiteral("-J"),
                               QStringLiteral("-r"), QStringLiteral("-o"), root, tree});
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
    }
    RecordingMessages messages;
    Catalogue session;
    TPersonalForm form(messages, session, cat.path());
    form.show();

    // One local folder or file is taken; anything else is not.
    const auto enter = [&](const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent event(QPoint(100, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&form, &event);
        return event.isAccepted();
    };
    QVERIFY(!enter({QUrl::fromLocalFile(root), QUrl::fromLocalFile(tree)}));
    QVERIFY(!enter({QUrl(QStringLiteral("https://example.org/holiday.iso"))}));
    QVERIFY(enter({QUrl::fromLocalFile(root)}));

    bool handled = false;
    QString shownRoot;
    whenShown<TfrmNewCD>([&](TfrmNewCD* dialog) {
        if (std::exchange(handled, true))
            return;
        shownRoot = windowChild<QLabel>(dialog, "RootLabel")->toolTip();
        windowChild<QToolButton>(dialog, "SpeedButton3")->click(); // the whole run, inside the click
        windowChild<QPushButton>(dialog, "Button2")->click();
    });
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(root)});
    QDropEvent drop(QPointF(100, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &drop);
    QVERIFY(drop.isAccepted());
    QTRY_VERIFY(handled && !windowChild<TfrmNewCD>(form, "frmNewCD")->isVisible());

    QCOMPARE(shownRoot, root);
    QCOMPARE(messages.messages,
             (QStringList{QStringLiteral("New CD ID: C0008"), QStringLiteral("2 files found")}));
    QCOMPARE(cat.scalar(QStringLiteral("select etichetta from cd where id = 8")).toString(), label);
    QCOMPARE(cat.scalar(QStringLiteral("select group_concat(path || nome || ':' || dimensione, ' ') from"
                                       " (select * from files where id_cd = 8 order by path, nome)"))
                 .toString(),
             QStringLiteral("\\beach.jpg:3 \\2005\\sea.jpg:5"));
    QVERIFY(comboItems(windowChild<QComboBox>(form, "ComboBox1")).contains(QStringLiteral("C0008")));
    // The next New CD reads the drive again.
    windowChild<TfrmNewCD>(form, "frmNewCD")->ResetDialog();
    QVERIFY(windowChild<TfrmNewCD>(form, "frmNewCD")->root().isEmpty() &&
            !windowChild<QLabel>(windowChild<TfrmNewCD>(form, "frmNewCD"), "RootLabel")->isVisible());
}

void MainWindowFiltersTest::listsFollowOtherProcesses()
{
    TestCatalogue cat;
    fill(cat);
    RecordingMessages messages;
    Catalogue session;
    TPersonalForm form(messages, session, cat.path());
    TFilterPanel* panel = windowChild<TFilterPanel>(form, "Panel4");
    windowChild<QComboBox>(panel, "ComboBox1")->setCurrentText(QStringLiteral("C0003"));

    // The catalogue's own session in the test is another connection, as another process is.
    // Coming back to the window looks at once.
    cat.addFile(cat.addDisc(QStringLiteral("C")), QStringLiteral("\\"), QStringLiteral("notes.md"));
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&form, &activate);
    QCOMPARE(comboItems(windowChild<QComboBox>(panel, "ComboBox1")).first(), QStringLiteral("C0008"));
    QVERIFY(comboItems(windowChild<QComboBox>(panel, "ComboBox2")).contains(QStringLiteral("md")));
    QCOMPARE(windowChild<QComboBox>(panel, "ComboBox1")->currentText(), QStringLiteral("C0003"));

    // Without it, the catalogue's file tells.
    cat.session.removeDisc(7);
    QTRY_VERIFY(!comboItems(windowChild<QComboBox>(panel, "ComboBox1")).contains(QStringLiteral("D0007")));
    QVERIFY(!comboItems(windowChild<QComboBox>(panel, "ComboBox2")).contains(QStringLiteral("jpg")));
    QCOMPARE(windowChild<QComboBox>(panel, "ComboBox1")->currentText(), QStringLiteral("C0003"));
    QVERIFY(messages.messages.isEmpty() && messages.errors.isEmpty());
}

void MainWindowFiltersTest::firstSearchesOfAPartOfAName_data()
{
    QTest::addColumn<bool>("anywhere");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("found");
    QTest::addColumn<QString>("hint");
    const QString cover = QStringLiteral("Patterns cover the whole name from the first \\ \u2014 try ");
    const QStringList none;
    QTest::newRow("a name") << false << QStringLiteral("a.JPG ") << none << cover + QStringLiteral("*a.JPG");
    QTest::newRow("from *") << false << QStringLiteral("*a.jpg") << QStringList{"D0007\\photos\\a.JPG"}
                            << QString();
    QTest::newRow("from \\") << false << QStringLiteral("\\a.jpg") << none << QString();
    QTest::newRow("anywhere") << true << QStringLiteral(" A.jpg") << QStringList{"D0007\\photos\\a.JPG"}
                              << QString();
    QTest::newRow("anywhere, any script") << true << QStringLiteral("\u00c9LAN")
                                          << QStringList{QStringLiteral("C0001\\\u00e9lan.mp3")} << QString();
    QTest::newRow("anywhere in the name alone") << true << QStringLiteral("photos") << none << QString();
    QTest::newRow("a pattern stays one")
        << true << QStringLiteral("*B.TXT") << QStringList{"D0007\\photos\\b.txt"} << QString();
    QTest::newRow("a wildcard inside")
        << true << QStringLiteral("b*x") << none << cover + QStringLiteral("*b*x");
}

// "Find names anywhere", ticked in Settings as a user does, and the hint after a search that
// found nothing, pointing at the File box.
void MainWindowFiltersTest::firstSearchesOfAPartOfAName()
{
    QFETCH(bool, anywhere);
    QFETCH(QString, typed);
    QFETCH(QStringList, found);
    QFETCH(QString, hint);
    TestCatalogue cat;
    fill(cat);
    cat.addFile(1, QStringLiteral("\\"), QStringLiteral("\u00e9lan.mp3"));
    QTemporaryDir dir;
    const QString settings = dir.filePath(QStringLiteral("tessaro.ini"));
    RecordingMessages messages;
    Catalogue session;
    TPersonalForm form(messages, session, cat.path(), settings);
    form.show();
    bool offered = true;
    whenShown<TfrmSettings>([&](TfrmSettings* dialog) {
        offered = windowChild<QCheckBox>(dialog, "NamesCheckBox")->isChecked();
        windowChild<QCheckBox>(dialog, "NamesCheckBox")->setChecked(anywhere);
        windowChild<QPushButton>(dialog, "Button2")->click();
    });
    windowChild<QToolButton>(form, "ToolButton3")->click();
    QVERIFY(!offered);
    QCOMPARE(NameSearchSetting(settings).namesAnywhere(), anywhere);

    TFilterPanel* panel = windowChild<TFilterPanel>(form, "Panel4");
    QTest::keyClicks(windowChild<QLineEdit>(panel, "Edit2"), typed);
    QCOMPARE(windowChild<QCheckBox>(panel, "CheckBox2")->isChecked(), anywhere);
    windowChild<QCheckBox>(panel, "CheckBox2")->setChecked(true);
    QTest::keyClick(windowChild<QLineEdit>(panel, "Edit2"), Qt::Key_Return);
    QCoreApplication::processEvents();
    QStringList rows;
    for (qsizetype i = 0; i < form.resultQuery().rowCount(); ++i)
        rows << form.resultQuery().rows().cdid(i) + form.resultQuery().rows().file(i);
    QCOMPARE(rows, found);
    QCOMPARE(windowChild<QLabel>(form, "StatusPanel1")->text(),
             QStringLiteral("%1 files found").arg(found.size()));
    const BalloonHint* balloon = BalloonHintFilter::install()->balloon();
    QCOMPARE(balloon ? balloon->text() : QString(), hint);
    if (balloon) {
        const QRect box(windowChild<QLineEdit>(panel, "Edit2")->mapToGlobal(QPoint(0, 0)),
                        windowChild<QLineEdit>(panel, "Edit2")->size());
        QVERIFY(box.contains(balloon->placement().tip));
        // The next key closes it, as every hint.
        QTest::keyClick(windowChild<QLineEdit>(panel, "Edit2"), Qt::Key_End);
        QVERIFY(!BalloonHintFilter::install()->balloon());
    }
    QVERIFY(messages.messages.isEmpty());
}

// Shift+F10 opens the grid's menu at the current row; the menu takes the window's face as the
// Help menu does, even when the desktop theme gives menus a face of their own.
void MainWindowFiltersTest::gridMenuFromTheKeyboardInTheWindowsFace()
{
    TestCatalogue cat;
    fill(cat);
    RecordingMessages messages;
    Catalogue session;
    TPersonalForm form(messages, session, cat.path());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QFont before = QApplication::font("QMenu");
    QFont theme(QStringLiteral("DejaVu Serif"));
    theme.setPointSize(16);
    QApplication::setFont(theme, "QMenu");
    windowChild<QCheckBox>(form, "CheckBox2")->setChecked(true);
    windowChild<QLineEdit>(form, "Edit2")->setText(QStringLiteral("*.jpg"));
    form.search();
    TGridRequisiti* grid = windowChild<TGridRequisiti>(form, "GridRequisiti");
    QCOMPARE(grid->model()->rowCount(), 1);
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(0, 1));
    QFont shownFont;
    QRect shownAt;
    QTimer::singleShot(50, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            shownFont = menu->font();
            shownAt = menu->geometry();
            menu->close();
        }
    });
    QTest::keyClick(grid, Qt::Key_F10, Qt::ShiftModifier);
    QApplication::setFont(before, "QMenu");
    QVERIFY(shownAt.isValid());
    const QRect row = grid->visualRect(grid->currentIndex());
    QVERIFY(row.contains(grid->viewport()->mapFromGlobal(shownAt.topLeft())));
    QCOMPARE(shownFont, windowChild<QMenu>(form, "PopupMenu1")->font());
    QVERIFY(shownFont != theme);
}

QTEST_MAIN(MainWindowFiltersTest)
#include "mainwindow_filters_test.moc"
