#include "search/ui/GridFileDelegate.h"

#include "common/AsciiCase.h"
#include "search/ResultModel.h"
#include "search/ui/FilterPanel.h"

#include <QComboBox>
#include <QPainter>

namespace
{
constexpr int kIconSize = 16;

bool blankOrControl(QChar c)
{
    return c.unicode() <= 32;
}

} // namespace

GridFileDelegate::GridFileDelegate(const TFilterPanel* filters, QObject* parent)
    : QStyledItemDelegate(parent), filters_(filters)
{
}

int GridFileDelegate::iconIndex(const QString& estensione) const
{
    if (!filters_)
        return -1;
    qsizetype begin = 0;
    qsizetype end = estensione.size();
    while (begin < end && blankOrControl(estensione[begin]))
        ++begin;
    while (end > begin && blankOrControl(estensione[end - 1]))
        --end;
    if (begin == end)
        return -1;
    const QString extension = estensione.mid(begin + 1, end - begin - 1);
    const QComboBox* list = filters_->extensionList();
    for (int i = 0; i < list->count(); ++i) {
        if (AsciiCase::equal(list->itemText(i), extension))
            return i;
    }
    return -1;
}

void GridFileDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const
{
    QStyledItemDelegate::paint(painter, option, index);

    const bool selected = option.state & QStyle::State_Selected;
    const QPalette::ColorGroup group =
        option.state & QStyle::State_Active ? QPalette::Active : QPalette::Inactive;
    const QRect rect = option.rect;
    painter->save();
    painter->fillRect(rect, option.palette.brush(group, selected ? QPalette::Highlight : QPalette::Base));
    const int icon = iconIndex(index.data(ResultModel::ExtensionRole).toString());
    if (icon >= 0 && icon < filters_->extensionIcons().size()) {
        const QRect place(rect.left() + 1, rect.top() + 1, kIconSize, kIconSize);
        filters_->extensionIcons().at(icon).paint(painter, place);
    }
    painter->setFont(option.font);
    painter->setPen(option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    const QRect text(rect.left() + 21, rect.top() + 1, std::max(0, rect.width() - 21), rect.height() - 1);
    painter->setClipRect(rect);
    // Centred in the row like the text of the other columns, which the style draws.
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      index.data(Qt::DisplayRole).toString());
    painter->restore();
}
