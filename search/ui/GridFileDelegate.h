#pragma once

#include <QStyledItemDelegate>

class TFilterPanel;

// Draws the "File" column: the cell as usual, then again with the icon of the row's
// extension 1 pixel in and the name 21 pixels in. The icon comes from the filter panel's
// current extension list, so it follows that list.
class GridFileDelegate : public QStyledItemDelegate
{
    Q_OBJECT
  public:
    explicit GridFileDelegate(const TFilterPanel* filters, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    // The position of the extension (as the catalogue holds it, with its dot) in the
    // extension list, ignoring letter case; -1 when it is not there.
    int iconIndex(const QString& estensione) const;

  private:
    const TFilterPanel* filters_;
};
