#pragma once

#include <QIcon>
#include <QList>
#include <QStyledItemDelegate>

// Draws one entry of the extension list: the entry's icon from the icon list that runs
// parallel to the list, 1 pixel in from the top-left corner, and its text 21 pixels in.
class ExtensionItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT
  public:
    static constexpr int ItemHeight = 18;
    static constexpr int TextIndent = 21;

    ExtensionItemDelegate(const QList<QIcon>& icons, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  private:
    const QList<QIcon>& icons_;
};
