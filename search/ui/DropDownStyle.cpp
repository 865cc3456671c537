#include "search/ui/DropDownStyle.h"

#include "search/ui/ExtensionItemDelegate.h"

#include <QPainter>
#include <QStyleOptionComboBox>

DropDownStyle::DropDownStyle(bool itemFace, QObject* parent) : itemFace_(itemFace)
{
    setParent(parent);
}

QRect DropDownStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                                    const QWidget* widget) const
{
    if (control == CC_ComboBox) {
        const QRect r = option->rect;
        switch (sub) {
        case SC_ComboBoxArrow:
            return {r.right() - ArrowWidth + 1, r.top(), ArrowWidth, r.height()};
        case SC_ComboBoxEditField:
            return r.adjusted(1, 1, -(ArrowWidth + 1), -1);
        default:
            break;
        }
    }
    return QProxyStyle::subControlRect(control, option, sub, widget);
}

void DropDownStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                                const QWidget* widget) const
{
    const auto* box = qstyleoption_cast<const QStyleOptionComboBox*>(option);
    if (element != CE_ComboBoxLabel || !itemFace_ || !box || box->editable) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    const QRect edit = subControlRect(CC_ComboBox, box, SC_ComboBoxEditField, widget);
    const int height = ExtensionItemDelegate::ItemHeight;
    const QRect item(edit.left(), edit.top() + (edit.height() - height) / 2, edit.width(), height);
    const bool enabled = box->state & State_Enabled;
    painter->save();
    painter->setClipRect(edit);
    if (!box->currentIcon.isNull())
        box->currentIcon.paint(painter, QRect(item.left() + 1, item.top() + 1, 16, 16), Qt::AlignCenter,
                               enabled ? QIcon::Normal : QIcon::Disabled);
    painter->setPen(
        box->palette.color(enabled ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    const int indent = ExtensionItemDelegate::TextIndent;
    painter->drawText(QRect(item.left() + indent, item.top() + 1, item.width() - indent, item.height() - 1),
                      Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, box->currentText);
    painter->restore();
}
