#include "catalogue/searchindex/SearchIndex.h"
#include "common/ui/Panels.h"
#include "search/ResultModel.h"
#include "search/ResultSet.h"
#include "search/SearchStatement.h"
#include "search/ui/FilterPanel.h"
#include "search/ui/GridFileDelegate.h"
#include "search/ui/GridRequisiti.h"
#include "tests/support/TestCatalogue.h"
#include "tests/support/WindowChild.h"

#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QtTest>

namespace
{
QIcon solid(QColor colour)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

bool near(QColor a, QColor b)
{
    return std::abs(a.red() - b.red()) < 40 && std::abs(a.green() - b.green()) < 40 &&
           std::abs(a.blue() - b.blue()) < 40;
}
} // namespace

class GridTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void init();
    void cleanup();
    void columnsAndBehaviour();
    void titlesSortButNeverSelect();
    void iconLookupIgnoresCaseAndBlanks();
    void fileColumnDrawsIconAndNameWhereverItIs();
    void ctrlCCopiesTheSelectedRowAsTabSeparatedText_data();
    void ctrlCCopiesTheSelectedRowAsTabSeparatedText();

  private:
    std::unique_ptr<TestCatalogue> cat_;
    std::unique_ptr<TFilterPanel> filters_;
    std::unique_ptr<ResultSet> result_;
    std::unique_ptr<TGridRequisiti> grid_;
};

void GridTest::init()
{
    cat_ = std::make_unique<TestCatalogue>();
    cat_->addDisc(QStringLiteral("C"), {}, 1);
    cat_->addFile(1, QStringLiteral("\\"), QStringLiteral("a.JPG"), 5, QStringLiteral("2020-01-01 10:00:00"));
    cat_->addFile(1, QStringLiteral("\\"), QStringLiteral("b"), 6, QStringLiteral("2020-01-01 00:00:00"));
    cat_->addFile(1, QStringLiteral("\\"), QStringLiteral("c.txt"), 7, QStringLiteral("2020-01-02 00:00:00"));
    SearchIndex::indexDisc(cat_->connection, 1);
    filters_ = std::make_unique<TFilterPanel>();
    windowChild<QComboBox>(filters_, "ComboBox2")->addItems({QStringLiteral("jpg"), QStringLiteral("txt")});
    filters_->setExtensionIcons({solid(Qt::red), solid(Qt::blue)});
    result_ = std::make_unique<ResultSet>(cat_->connection);
    grid_ = std::make_unique<TGridRequisiti>(*result_, filters_.get());
    grid_->resize(700, 200);
    result_->open(SearchStatement(SearchCriteria()));
}

void GridTest::cleanup()
{
    grid_.reset();
    result_.reset();
    filters_.reset();
    cat_.reset();
}

void GridTest::columnsAndBehaviour()
{
    TGridRequisiti& grid = *grid_;
    QCOMPARE(grid.objectName(), QStringLiteral("GridRequisiti"));
    QCOMPARE(grid.model()->rowCount(), 3);
    QStringList titles;
    QList<int> widths;
    for (int c = 0; c < grid.model()->columnCount(); ++c) {
        titles << grid.model()->headerData(c, Qt::Horizontal).toString();
        widths << grid.columnWidth(c);
    }
    QCOMPARE(titles, QStringList({"CD", "File", "Date", "Dim."}));
    QCOMPARE(widths, QList<int>({50, 300, 130, 80}));
    QVERIFY(grid.verticalHeader()->isHidden());
    QVERIFY(!grid.showGrid());
    QCOMPARE(grid.editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(grid.selectionBehavior(), QAbstractItemView::SelectRows);
    QVERIFY(grid.horizontalHeader()->sectionsMovable());
    QCOMPARE(grid.horizontalHeader()->sectionResizeMode(1), QHeaderView::Interactive);
    QVERIFY(grid.tabKeyNavigation());
    QCOMPARE(grid.font().pixelSize(), 8);
    QCOMPARE(grid.horizontalHeader()->font(), Panels::windowFont()); // the windows' normal face
    QCOMPARE(grid.palette().color(QPalette::Base), grid.palette().color(QPalette::ToolTipBase));
    QCOMPARE(grid.palette().color(QPalette::Text), QColor(Qt::black));
    // The selected row shows only while the grid has the focus.
    QCOMPARE(grid.palette().color(QPalette::Inactive, QPalette::Highlight),
             grid.palette().color(QPalette::Base));

    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    const QRect cell = grid.visualRect(grid.model()->index(1, 2));
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
    QVERIFY(grid.findChildren<QLineEdit*>().isEmpty()); // no editor opened
    QCOMPARE(grid.selectionModel()->selectedRows().size(), 1);
    QCOMPARE(grid.selectionModel()->selectedIndexes().size(), 4);
    QCOMPARE(grid.model()->data(grid.model()->index(1, 1)).toString(), QStringLiteral("\\b"));
}

void GridTest::titlesSortButNeverSelect()
{
    TGridRequisiti& grid = *grid_;
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QHeaderView* header = grid.horizontalHeader();
    const auto files = [&] {
        QStringList names;
        for (int row = 0; row < grid.model()->rowCount(); ++row)
            names << grid.model()->data(grid.model()->index(row, 1)).toString();
        return names.join(QLatin1Char(' '));
    };
    // Until a title is clicked the rows come in the search's order.
    QCOMPARE(header->sortIndicatorSection(), -1);
    QCOMPARE(files(), QStringLiteral("\\a.JPG \\b \\c.txt"));
    const QPoint dateTitle(header->sectionViewportPosition(2) + 20, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, dateTitle);
    QCOMPARE(files(), QStringLiteral("\\b \\a.JPG \\c.txt"));
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, dateTitle);
    QCOMPARE(files(), QStringLiteral("\\c.txt \\a.JPG \\b"));
    QVERIFY(grid.selectionModel()->selectedIndexes().isEmpty());

    // Dragging a title moves the column.
    const QPoint fileTitle(header->sectionViewportPosition(1) + 30, header->height() / 2);
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, fileTitle);
    for (int x = fileTitle.x(); x < header->sectionViewportPosition(3) + 70; x += 10)
        QTest::mouseMove(header->viewport(), QPoint(x, fileTitle.y()));
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {},
                        QPoint(header->sectionViewportPosition(3) + 70, fileTitle.y()));
    QCOMPARE(header->visualIndex(1), 3);
    QCOMPARE(files(), QStringLiteral("\\c.txt \\a.JPG \\b"));
}

void GridTest::iconLookupIgnoresCaseAndBlanks()
{
    const GridFileDelegate& files = *grid_->fileDelegate();
    QCOMPARE(files.iconIndex(QStringLiteral(".JPG")), 0);
    QCOMPARE(files.iconIndex(QStringLiteral(".jpg")), 0);
    QCOMPARE(files.iconIndex(QStringLiteral(" .Txt\t")), 1);
    QCOMPARE(files.iconIndex(QString()), -1);
    QCOMPARE(files.iconIndex(QStringLiteral(".")), -1);
    QCOMPARE(files.iconIndex(QStringLiteral(".png")), -1);
    QCOMPARE(files.iconIndex(QStringLiteral(".jpgx")), -1);
    windowChild<QComboBox>(filters_, "ComboBox2")
        ->setItemText(0, QStringLiteral("JPG")); // icons follow the current list
    QCOMPARE(files.iconIndex(QStringLiteral(".jpg")), 0);
    QCOMPARE(GridFileDelegate(nullptr).iconIndex(QStringLiteral(".jpg")), -1);
}

void GridTest::fileColumnDrawsIconAndNameWhereverItIs()
{
    TGridRequisiti& grid = *grid_;
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    const QColor background = grid.palette().color(QPalette::Base);
    auto check = [&](int row, QColor icon) {
        const QRect cell = grid.visualRect(grid.model()->index(row, ResultModel::File));
        const QImage shot = grid.viewport()->grab().toImage();
        // The icon 1 pixel in, and nothing but background between it and the name.
        const QColor drawn = shot.pixelColor(cell.left() + 1 + 8, cell.top() + 1 + 8);
        QVERIFY2(icon.isValid() ? near(drawn, icon) : near(drawn, background), qPrintable(drawn.name()));
        QVERIFY(near(shot.pixelColor(cell.left(), cell.top() + 8), background));
        for (int x = cell.left() + 18; x < cell.left() + 21; ++x) {
            for (int y = cell.top(); y < cell.bottom(); ++y)
                QVERIFY(near(shot.pixelColor(x, y), background));
        }
        bool text = false;
        for (int x = cell.left() + 21; x < cell.left() + 40 && !text; ++x) {
            for (int y = cell.top(); y <= cell.bottom() && !text; ++y)
                text = shot.pixelColor(x, y).lightness() < 128;
        }
        QVERIFY(text);
    };
    check(0, Qt::red);
    check(1, QColor());
    check(2, Qt::blue);
    grid.horizontalHeader()->moveSection(1, 3);
    QCoreApplication::processEvents();
    check(0, Qt::red);
    check(1, QColor());
}

void GridTest::ctrlCCopiesTheSelectedRowAsTabSeparatedText_data()
{
    QTest::addColumn<int>("row"); // -1: nothing selected
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("copied"); // %1 stands for the row's date as the grid shows it
    QTest::newRow("a row") << 0 << QString() << QStringLiteral("C0001\t\\a.JPG\t%1\t5\n");
    QTest::newRow("a name with a tab and a line break")
        << 3 << QStringLiteral("x\ty\nz.txt") << QStringLiteral("C0001\t\\x\\x09y\\x0Az.txt\t%1\t9\n");
    QTest::newRow("no selection") << -1 << QString() << QStringLiteral("untouched");
}

void GridTest::ctrlCCopiesTheSelectedRowAsTabSeparatedText()
{
    QFETCH(int, row);
    QFETCH(QString, name);
    QFETCH(QString, copied);
    if (!name.isEmpty()) {
        cat_->addFile(1, QStringLiteral("\\"), name, 9, QStringLiteral("2020-01-03 00:00:00"));
        result_->open(SearchStatement(SearchCriteria()));
    }
    TGridRequisiti& grid = *grid_;
    grid.show();
    QApplication::setActiveWindow(&grid);
    QVERIFY(QTest::qWaitForWindowActive(&grid));
    grid.setFocus();
    if (row >= 0) {
        grid.selectRow(row);
        // The current cell is not in the name column: whole rows are copied, not one cell.
        grid.setCurrentIndex(grid.model()->index(row, ResultModel::Size));
    }
    QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));
    QTest::keyClick(&grid, Qt::Key_C, Qt::ControlModifier);
    const QString date = row >= 0 ? grid.model()->index(row, ResultModel::Date).data().toString() : QString();
    QCOMPARE(QGuiApplication::clipboard()->text(), row >= 0 ? copied.arg(date) : copied);
}

QTEST_MAIN(GridTest)
#include "grid_test.moc"
