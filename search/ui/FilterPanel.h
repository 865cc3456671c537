#pragma once

#include "search/SearchCriteria.h"
#include "search/ui/ExtensionIcons.h"

#include <QFrame>
#include <QIcon>
#include <QList>

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLineEdit;
class QToolButton;
class Catalogue;

// The main window's filter panel: five filters, each a caption, its tick box and its input,
// and the find button at the right end.
class TFilterPanel : public QFrame
{
    Q_OBJECT
  public:
    explicit TFilterPanel(QWidget* parent = nullptr);

    // What the main window wires: the pattern box, its tick box and the find button.
    QLineEdit* filePattern() const { return filePattern_; }
    QCheckBox* fileFilter() const { return fileFilter_; }
    QToolButton* findButton() const { return findButton_; }
    // The extension list and its icons, icon i for entry i, which the grid draws names with.
    const QComboBox* extensionList() const { return extensionList_; }
    const QList<QIcon>& extensionIcons() const { return extensionIcons_; }
    void setExtensionIcons(const QList<QIcon>& icons) { extensionIcons_ = icons; }

    // Fills both lists from the catalogue at start-up: filters unticked, pattern empty,
    // both dates today.
    void LoadFilters(Catalogue& catalogue);
    // Fills both lists again after a disc was added or removed, keeping the chosen entries
    // where they are still listed; the other filters stay as they are.
    void RefreshFilters(Catalogue& catalogue);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    friend SearchCriteria criteriaFromPanel(const TFilterPanel& panel);

    void fillDiscList(Catalogue& catalogue, bool refresh);
    void fillExtensionList(Catalogue& catalogue);

    QCheckBox* discFilter_;
    QComboBox* discList_; // disc labels
    QCheckBox* fileFilter_;
    QLineEdit* filePattern_; // path and name pattern
    QCheckBox* dateFromFilter_;
    QDateTimeEdit* dateFrom_; // the chosen day at 00:00:00
    QCheckBox* dateToFilter_;
    QDateTimeEdit* dateTo_; // the chosen day at 23:59:59
    QCheckBox* extensionFilter_;
    QComboBox* extensionList_; // extensions, drawn with their icons
    QToolButton* findButton_;
    QList<QIcon> extensionIcons_; // icon i belongs to entry i of extensionList_
    ExtensionIcons icons_;
};
