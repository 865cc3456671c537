#include "app/ui/UnMyForm.h"
#include "maintenance/ui/UnDelCD.h"
#include "maintenance/ui/UnNewCD.h"
#include "search/ResultSet.h"
#include "search/ui/DiscDetails.h"
#include "search/ui/FilterPanel.h"
#include "search/ui/GridRequisiti.h"
#include "tests/support/ComboItems.h"
#include "tests/support/RecordingMessages.h"
#include "tests/support/TestCatalogue.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
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

// Handles the modal dialog of type T once it shows; closes it after a few seconds at the latest.
template <typename T> void whenShown(const std::function<void(T*)>& handle)
{
    auto* poll = new QTimer;
    auto* deadline = new QElapsedTimer;
    deadline->start();
    QObject::connect(poll, &QTimer::timeout, [=] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            handle(dialog);
        } else if (deadline->elapsed() < 5000) {
            return;
        } else if (QWidget* other = QApplication::activeModalWidget()) {
            other->hide();
        }
        poll->stop();
        poll->deleteLater();
        delete deadline;
    });
    poll->start(10);
}

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
};

void MainWindowFiltersTest::startupFillsTheLists()
{
    TestCatalogue cat;
    fill(cat);
    RecordingMessages messages;
    Catalogue session;
    TPersonalForm form(messages, session, cat.path());
    QVERIFY(messages.messages.isEmpty());
    TFilterPanel* panel = form.Panel4;
    QCOMPARE(panel->ComboBox1->count(), 7);
    QCOMPARE(panel->ComboBox1->currentText(), QStringLiteral("D0007"));
    QCOMPARE(comboItems(panel->ComboBox2), (QStringList{QStringLiteral("jpg"), QStringLiteral("txt")}));
    QCOMPARE(panel->ImageList3.size(), 2);
    QCOMPARE(panel->ImageList3.at(0).name(), QStringLiteral("image-jpeg"));
    QVERIFY(panel->CheckBox1->isEnabled() && !panel->CheckBox1->isChecked());
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
        QVERIFY(!form.Timer2->isActive());
        QCOMPARE(form.Panel4->ImageList3.size(), 2);
        QCOMPARE(form.Panel4->ImageList3.at(1).name(), QStringLiteral("text-plain"));
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
    TFilterPanel* panel = form.Panel4;
    panel->ComboBox1->setCurrentText(QStringLiteral("C0003"));
    panel->ComboBox2->setCurrentText(QStringLiteral("txt"));
    panel->CheckBox5->setChecked(true);
    messages.answers = {true};
    QStringList offered;
    whenShown<TfrmDelCD>([&](TfrmDelCD* dialog) {
        offered = comboItems(dialog->ComboBox1);
        dialog->ComboBox1->setCurrentText(QStringLiteral("D0007"));
        dialog->Button2->click();
    });
    form.ToolButton2->click();
    QCOMPARE(offered.size(), 7);
    QCOMPARE(messages.questions, QStringList{QStringLiteral("Remove CD from the archive?")});
    QVERIFY(!form.frmDelCD->isVisible());
    QVERIFY(!comboItems(panel->ComboBox1).contains(QStringLiteral("D0007")));
    QCOMPARE(panel->ComboBox1->currentText(), QStringLiteral("C0003"));
    QCOMPARE(comboItems(panel->ComboBox2), QStringList{QStringLiteral("txt")});
    QCOMPARE(panel->ComboBox2->currentText(), QStringLiteral("txt"));
    QVERIFY(panel->CheckBox5->isChecked());
    QCOMPARE(panel->ImageList3.size(), 1);
    QCOMPARE(cat.scalar(QStringLiteral("select count(*) from files where id_cd = 7")).toInt(), 0);
}

void MainWindowFiltersTest::newDiscDialogOpensReadyAndOkRefreshes()
{
    TestCatalogue cat;
    RecordingMessages messages;
    Catalogue session;
    TPersonalForm form(messages, session, cat.path());
    QCOMPARE(form.Panel4->ComboBox1->currentText(), QStringLiteral("- None -"));
    form.frmNewCD->ComboBox1->setCurrentIndex(1);
    form.frmNewCD->ComboBox1->setEnabled(false);
    bool ready = false;
    whenShown<TfrmNewCD>([&](TfrmNewCD* dialog) {
        ready = dialog->ComboBox1->isEnabled() && dialog->ComboBox1->currentText() == QStringLiteral("CD") &&
                dialog->SpeedButton3->isEnabled();
        // A disc catalogued meanwhile (by another instance) shows after OK.
        cat.addDisc(QStringLiteral("D"));
        dialog->Button2->click();
    });
    form.ToolButton1->click();
    QVERIFY(ready);
    QVERIFY(!form.frmNewCD->isVisible());
    QCOMPARE(comboItems(form.Panel4->ComboBox1), QStringList{QStringLiteral("D0001")});
    QVERIFY(form.Panel4->CheckBox1->isEnabled());
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
    form.Panel4->CheckBox2->setChecked(true);
    form.Panel4->Edit2->setText(QStringLiteral("*.jpg"));
    form.SpeedButton1Click();
    TGridRequisiti* grid = form.GridRequisiti;
    QCOMPARE(grid->model()->rowCount(), 2);
    QWidget* rows = grid->viewport();
    const QPoint first = grid->visualRect(grid->model()->index(0, 1)).center();

    // A double-click opens the disc's details at the row's file.
    QString selected;
    whenShown<TfrmDiscDetails>([&](TfrmDiscDetails* dialog) {
        if (QTreeWidgetItem* item = dialog->TreeFolders->currentItem())
            selected = dialog->LabelDisc->text() + QLatin1Char('|') + item->text(0);
        dialog->ButtonCancel->click();
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
    QCOMPARE(form.StatusPanel1->text(), QStringLiteral("1 files found"));
    // "Only on this disc": the empty A.jpg proves nothing either way; B.png is nowhere else.
    chooseFromMenu(QStringLiteral("Only on this disc"));
    QCOMPARE(grid->model()->rowCount(), 1);
    QCOMPARE(form.resultQuery().rows().cdid(0) + form.resultQuery().rows().file(0),
             QStringLiteral("C0008\\old\\B.png"));
    QCOMPARE(form.StatusPanel1->text(), QStringLiteral("1 files found"));
    QVERIFY(messages.messages.isEmpty());
}

QTEST_MAIN(MainWindowFiltersTest)
#include "mainwindow_filters_test.moc"
