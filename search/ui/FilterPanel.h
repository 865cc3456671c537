#pragma once

#include "search/ui/ExtensionIcons.h"

#include <QFrame>
#include <QIcon>
#include <QList>

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QToolButton;
class Query;

// The main window's filter panel: five filters, each a caption, its tick box and its input,
// and the find button at the right end.
class TFilterPanel : public QFrame
{
    Q_OBJECT
  public:
    explicit TFilterPanel(QWidget* parent = nullptr);

    QLabel* Label1;
    QCheckBox* CheckBox1;
    QComboBox* ComboBox1; // disc labels
    QLabel* Label2;
    QCheckBox* CheckBox2;
    QLineEdit* Edit2; // path and name pattern
    QLabel* Label3;
    QCheckBox* CheckBox3;
    QDateTimeEdit* DateTimePicker1; // from: the chosen day at 00:00:00
    QLabel* Label4;
    QCheckBox* CheckBox4;
    QDateTimeEdit* DateTimePicker2; // to: the chosen day at 23:59:59
    QLabel* Label5;
    QCheckBox* CheckBox5;
    QComboBox* ComboBox2;      // extensions, drawn with their icons
    QToolButton* SpeedButton1; // find
    // One icon per entry of ComboBox2, in the same order: icon i belongs to entry i.
    QList<QIcon> ImageList3;

    // Fills both lists from the catalogue at start-up: filters unticked, pattern empty,
    // both dates today.
    void LoadFilters(Query& work);
    // Fills both lists again after a disc was added or removed, keeping the chosen entries
    // where they are still listed; the other filters stay as they are.
    void RefreshFilters(Query& work);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void fillDiscList(Query& work, bool refresh);
    void fillExtensionList(Query& work);

    ExtensionIcons icons_;
};
