#include "search/ui/ExtensionItemDelegate.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

ExtensionItemDelegate::ExtensionItemDelegate(const QList<QIcon>& icons, QObject* parent)
    : QStyledItemDelegate(parent), icons_(icons)
{
}

void ExtensionItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const
{
    const bool selected = option.state & QStyle::State_Selected;
    const QRect rect = option.rect;
    painter->save();
    painter->fillRect(rect, option.palette.brush(selected ? QPalette::Highlight : QPalette::Base));
    const int row = index.row();
    if (row >= 0 && row < icons_.size())
        icons_.at(row).paint(painter, QRect(rect.left() + 1, rect.top() + 1, 16, 16));
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(option.font);
    const QRect textRect(rect.left() + TextIndent, rect.top() + 1, qMax(0, rect.width() - TextIndent),
                         qMax(0, rect.height() - 1));
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      index.data(Qt::DisplayRole).toString());
    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.rect = rect;
        focus.state |= QStyle::State_KeyboardFocusChange;
        focus.backgroundColor = option.palette.color(selected ? QPalette::Highlight : QPalette::Base);
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
    }
    painter->restore();
}

QSize ExtensionItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QSize natural = QStyledItemDelegate::sizeHint(option, index);
    return {natural.width() + TextIndent, ItemHeight};
}
