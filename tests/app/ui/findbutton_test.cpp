#include "app/ui/UnMyForm.h"
#include "catalogue/DiscStore.h"
#include "catalogue/searchindex/SearchIndex.h"
#include "search/ResultSet.h"
#include "search/ui/FilterPanel.h"
#include "search/ui/GridRequisiti.h"
#include "tests/support/RecordingMessages.h"
#include "tests/support/TestCatalogue.h"
#include "tests/support/WindowChild.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

class FindButtonTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void init();
    void cleanup();
    void findShowsTheRowsAndTheirCount();
    void failedSearchReportsClosesAndKeepsTheCount();
    void rowsStayUntilTheNextFind();
    void enterInThePatternFindsAndF1OpensHelp();
    void helpSaysWhenNoViewerIsInstalled();

  private:
    int rows() const { return windowChild<TGridRequisiti>(form_, "GridRequisiti")->model()->rowCount(); }
    QString count() const { return windowChild<QLabel>(form_, "StatusPanel1")->text(); }
    void find() { windowChild<QToolButton>(form_, "SpeedButton1")->click(); }

    std::unique_ptr<TestCatalogue> cat_;
    RecordingMessages messages_;
    Catalogue session_;
    std::unique_ptr<TPersonalForm> form_;
};

void FindButtonTest::init()
{
    cat_ = std::make_unique<TestCatalogue>();
    cat_->addDisc(QStringLiteral("C"), {}, 1);
    cat_->addDisc(QStringLiteral("D"), {}, 2);
    cat_->addFile(1, QStringLiteral("\\photos\\"), QStringLiteral("a.jpg"), 1,
                  QStringLiteral("2020-05-01 00:00:00"));
    cat_->addFile(1, QStringLiteral("\\docs\\"), QStringLiteral("report.doc"), 2,
                  QStringLiteral("2020-05-01 23:59:59"));
    cat_->addFile(2, QStringLiteral("\\"), QStringLiteral("B.JPG"), 3, QStringLiteral("2020-05-02 00:00:00"));
    SearchIndex::indexDisc(cat_->connection, 1);
    messages_ = RecordingMessages();
    form_ = std::make_unique<TPersonalForm>(messages_, session_, cat_->path());
    QVERIFY(session_.connection().connected());
}

void FindButtonTest::cleanup()
{
    form_.reset();
    cat_.reset();
}

void FindButtonTest::findShowsTheRowsAndTheirCount()
{
    TFilterPanel& panel = *windowChild<TFilterPanel>(form_, "Panel4");
    QCOMPARE(windowChild<TGridRequisiti>(form_, "GridRequisiti")->objectName(),
             QStringLiteral("GridRequisiti"));
    std::optional<Qt::CursorShape> during;
    connect(&form_->resultQuery(), &ResultSet::aboutToChange, this, [&during] {
        if (QApplication::overrideCursor())
            during = QApplication::overrideCursor()->shape();
    });
    find();
    QCOMPARE(during, std::optional<Qt::CursorShape>(Qt::WaitCursor));
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(count(), QStringLiteral("3 files found"));
    QCOMPARE(rows(), 3);

    windowChild<QCheckBox>(panel, "CheckBox2")->setChecked(true);
    windowChild<QLineEdit>(panel, "Edit2")->setText(QStringLiteral("*.jpg"));
    find();
    QCOMPARE(count(), QStringLiteral("2 files found"));

    windowChild<QCheckBox>(panel, "CheckBox2")->setChecked(false);
    windowChild<QCheckBox>(panel, "CheckBox3")->setChecked(true);
    windowChild<QCheckBox>(panel, "CheckBox4")->setChecked(true);
    windowChild<QDateTimeEdit>(panel, "DateTimePicker1")->setDate(QDate(2020, 5, 1));
    windowChild<QDateTimeEdit>(panel, "DateTimePicker2")->setDate(QDate(2020, 5, 1));
    find();
    QCOMPARE(count(), QStringLiteral("2 files found"));

    windowChild<QCheckBox>(panel, "CheckBox3")->setChecked(false);
    windowChild<QCheckBox>(panel, "CheckBox4")->setChecked(false);
    windowChild<QCheckBox>(panel, "CheckBox1")->setChecked(true);
    windowChild<QComboBox>(panel, "ComboBox1")
        ->setCurrentIndex(windowChild<QComboBox>(panel, "ComboBox1")->findText(QStringLiteral("D0002")));
    find();
    QCOMPARE(count(), QStringLiteral("1 files found"));
    QCOMPARE(windowChild<TGridRequisiti>(form_, "GridRequisiti")
                 ->model()
                 ->data(windowChild<TGridRequisiti>(form_, "GridRequisiti")->model()->index(0, 1))
                 .toString(),
             QStringLiteral("\\B.JPG"));

    windowChild<QCheckBox>(panel, "CheckBox1")->setChecked(false);
    windowChild<QCheckBox>(panel, "CheckBox5")->setChecked(true);
    windowChild<QComboBox>(panel, "ComboBox2")
        ->setCurrentIndex(windowChild<QComboBox>(panel, "ComboBox2")->findText(QStringLiteral("jpg")));
    find();
    QCOMPARE(count(), QStringLiteral("2 files found"));
    QVERIFY(messages_.errors.isEmpty());
}

void FindButtonTest::failedSearchReportsClosesAndKeepsTheCount()
{
    TFilterPanel& panel = *windowChild<TFilterPanel>(form_, "Panel4");
    find();
    QCOMPARE(count(), QStringLiteral("3 files found"));
    windowChild<QCheckBox>(panel, "CheckBox2")->setChecked(true);
    windowChild<QLineEdit>(panel, "Edit2")->setMaxLength(60000);
    windowChild<QLineEdit>(panel, "Edit2")->setText(QString(50001, QLatin1Char('x')));
    find();
    QCOMPARE(messages_.errors, QStringList({"LIKE or GLOB pattern too complex"}));
    QVERIFY(!form_->resultQuery().active());
    QCOMPARE(rows(), 0);
    QCOMPARE(count(), QStringLiteral("3 files found"));
    QVERIFY(!QApplication::overrideCursor());
}

void FindButtonTest::rowsStayUntilTheNextFind()
{
    find();
    QCOMPARE(rows(), 3);
    DiscStore::removeDisc(session_.work(), 1);
    form_->RefreshFilters();
    QCOMPARE(rows(), 3);
    QCOMPARE(windowChild<TGridRequisiti>(form_, "GridRequisiti")
                 ->model()
                 ->data(windowChild<TGridRequisiti>(form_, "GridRequisiti")->model()->index(0, 1))
                 .toString(),
             QStringLiteral("\\docs\\report.doc"));
    find();
    QCOMPARE(rows(), 1);
    QCOMPARE(count(), QStringLiteral("1 files found"));
}

namespace
{
// The desktop's list of programs by file type, as xdg-mime reads it, in a folder of its own:
// with a viewer for help files or with none.
class FakeDesktop
{
  public:
    explicit FakeDesktop(bool helpViewer)
    {
        const QString apps = dir_.filePath(QStringLiteral("applications"));
        QDir().mkpath(apps);
        if (helpViewer) {
            QFile cache(apps + QStringLiteral("/mimeinfo.cache"));
            if (cache.open(QIODevice::WriteOnly))
                cache.write("[MIME Cache]\napplication/vnd.ms-htmlhelp=helpviewer.desktop;\n");
        }
        for (const char* name : {"XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS"}) {
            saved_.append({name, qgetenv(name)});
            qputenv(name, dir_.path().toLocal8Bit());
        }
        for (const char* name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION"}) {
            saved_.append({name, qgetenv(name)});
            qunsetenv(name);
        }
    }
    ~FakeDesktop()
    {
        for (const auto& [name, value] : saved_)
            value.isNull() ? qunsetenv(name) : qputenv(name, value);
    }

  private:
    QTemporaryDir dir_;
    QList<std::pair<const char*, QByteArray>> saved_;
};

class UrlCatcher : public QObject
{
    Q_OBJECT
  public:
    QList<QUrl> urls;
  public Q_SLOTS:
    void open(const QUrl& url) { urls.append(url); }
};
} // namespace

void FindButtonTest::enterInThePatternFindsAndF1OpensHelp()
{
    TFilterPanel& panel = *windowChild<TFilterPanel>(form_, "Panel4");
    form_->show();
    QApplication::setActiveWindow(form_.get());
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    windowChild<QCheckBox>(panel, "CheckBox2")->setChecked(true);
    windowChild<QLineEdit>(panel, "Edit2")->setFocus();
    const struct {
        const char* pattern;
        Qt::Key key;
        const char* count;
    } keys[] = {{"*.jpg", Qt::Key_Return, "2 files found"}, {"*report*", Qt::Key_Enter, "1 files found"}};
    for (const auto& k : keys) {
        windowChild<QLineEdit>(panel, "Edit2")->setText(QLatin1String(k.pattern));
        QTest::keyClick(windowChild<QLineEdit>(panel, "Edit2"), k.key);
        QCOMPARE(count(), QLatin1String(k.count));
    }

    const FakeDesktop desktop(true);
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    QTest::keyClick(windowChild<QLineEdit>(panel, "Edit2"), Qt::Key_F1);
    windowChild<TGridRequisiti>(form_, "GridRequisiti")->setFocus();
    QTest::keyClick(windowChild<TGridRequisiti>(form_, "GridRequisiti"), Qt::Key_F1);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(catcher.urls, QList<QUrl>(2, QUrl::fromLocalFile(form_->helpFile())));
    QVERIFY(messages_.messages.isEmpty());
}

// Without a program for help files the desktop would fail out of sight: the window says so.
void FindButtonTest::helpSaysWhenNoViewerIsInstalled()
{
    const FakeDesktop desktop(false);
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    windowChild<QToolButton>(form_, "ToolButton5")->click();
    windowChild<QAction>(form_, "Guidainlinea1")->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QVERIFY(catcher.urls.isEmpty());
    const QString said = QStringLiteral("No program to view the help file %1 is installed (xchm views it)")
                             .arg(QDir::toNativeSeparators(form_->helpFile()));
    QCOMPARE(messages_.messages, QStringList(2, said));
}

QTEST_MAIN(FindButtonTest)
#include "findbutton_test.moc"
