#include "search/ui/GridRequisiti.h"

#include "common/ui/Panels.h"
#include "search/ResultModel.h"
#include "search/ui/GridFileDelegate.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>

namespace
{
constexpr int kRowHeight = 18; // a 16-pixel icon 1 pixel in, and a pixel to spare

// A tab or a line break in a name would break the row: control characters go as \xHH.
QString plainField(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7f || (u >= 0x80 && u <= 0x9f))
            out +=
                QLatin1String("\\x") + QString::number(u, 16).toUpper().rightJustified(2, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}
} // namespace

TGridRequisiti::TGridRequisiti(ResultSet& result, const TFilterPanel* filters, QWidget* parent)
    : QTableView(parent), model_(new ResultModel(result, this)),
      delegate_(new GridFileDelegate(filters, this))
{
    setObjectName(QStringLiteral("GridRequisiti"));
    setModel(model_);
    setItemDelegateForColumn(ResultModel::File, delegate_);

    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setShowGrid(false);
    setTabKeyNavigation(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);

    setFont(Panels::windowFont(8));
    // Black on the info-tip colour whatever the desktop palette is.
    QPalette colours = Panels::windowPalette();
    const QColor cells = Panels::InfoTip;
    colours.setColor(QPalette::Base, cells);
    colours.setColor(QPalette::AlternateBase, cells);
    colours.setColor(QPalette::Text, Qt::black);
    // The selected row shows only while the grid has the focus.
    colours.setColor(QPalette::Inactive, QPalette::Highlight, cells);
    colours.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::black);
    setPalette(colours);

    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(kRowHeight);

    QHeaderView* titles = horizontalHeader();
    titles->setFont(Panels::windowFont());
    titles->setSectionsMovable(true);
    titles->setSectionsClickable(true);
    titles->setSectionResizeMode(QHeaderView::Interactive);
    titles->setHighlightSections(false);
    titles->setStretchLastSection(false);
    titles->setStyleSheet(QStringLiteral("QHeaderView { background-color: %2; }"
                                         " QHeaderView::section { background-color: %1; color: black; "
                                         "border: none; border-right: 1px solid gray; "
                                         "border-bottom: 1px solid gray; padding-left: 2px; }")
                              .arg(Panels::SkyBlue.name(), Panels::ButtonFace.name()));
    // A click on a title sorts by it, a second one the other way. No column is sorted at first
    // (the indicator on none), and each new result comes in the statement's order again.
    titles->setSortIndicator(-1, Qt::AscendingOrder);
    // A million rows take a second or two: the wait cursor around the view's own sort, whose
    // handler runs between these two (handlers run in the order they were connected).
    connect(titles, &QHeaderView::sortIndicatorChanged, this,
            [] { QApplication::setOverrideCursor(Qt::WaitCursor); });
    setSortingEnabled(true);
    connect(titles, &QHeaderView::sortIndicatorChanged, this, [] { QApplication::restoreOverrideCursor(); });
    connect(model_, &QAbstractItemModel::modelReset, titles,
            [titles] { titles->setSortIndicator(-1, Qt::AscendingOrder); });
    setColumnWidth(ResultModel::Cd, 50);
    setColumnWidth(ResultModel::File, 300);
    setColumnWidth(ResultModel::Date, 130);
    setColumnWidth(ResultModel::Size, 80);
}

QString TGridRequisiti::selectedRowsText() const
{
    QList<QModelIndex> rows = selectionModel() ? selectionModel()->selectedRows() : QList<QModelIndex>();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QString text;
    for (const QModelIndex& row : rows) {
        QStringList fields;
        for (int column : {ResultModel::Cd, ResultModel::File, ResultModel::Date, ResultModel::Size})
            fields.append(plainField(model_->index(row.row(), column).data().toString()));
        text += fields.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return text;
}

void TGridRequisiti::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy)) {
        // Whole rows, as a spreadsheet or an editor takes them; the view alone would copy one cell.
        if (const QString rows = selectedRowsText(); !rows.isEmpty())
            QGuiApplication::clipboard()->setText(rows);
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}
