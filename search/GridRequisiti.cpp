#include "search/GridRequisiti.h"

#include "common/Panels.h"
#include "search/GridFileDelegate.h"
#include "search/ResultModel.h"

#include <QApplication>
#include <QHeaderView>

namespace
{
constexpr int kRowHeight = 18; // a 16-pixel icon 1 pixel in, and a pixel to spare
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
    setSortingEnabled(false);
    setShowGrid(false);
    setTabKeyNavigation(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);

    QFont small = QApplication::font();
    small.setPixelSize(8);
    setFont(small);
    QPalette colours = palette();
    const QColor cells = colours.color(QPalette::ToolTipBase);
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
    titles->setFont(QApplication::font());
    titles->setSectionsMovable(true);
    titles->setSectionsClickable(false);
    titles->setSortIndicatorShown(false);
    titles->setSectionResizeMode(QHeaderView::Interactive);
    titles->setHighlightSections(false);
    titles->setStretchLastSection(false);
    titles->setStyleSheet(QStringLiteral("QHeaderView::section { background-color: %1; color: black; "
                                         "border: none; border-right: 1px solid gray; "
                                         "border-bottom: 1px solid gray; padding-left: 2px; }")
                              .arg(Panels::SkyBlue.name()));
    setColumnWidth(ResultModel::Cd, 50);
    setColumnWidth(ResultModel::File, 300);
    setColumnWidth(ResultModel::Date, 130);
    setColumnWidth(ResultModel::Size, 80);
}
