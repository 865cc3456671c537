#include "search/ui/PanelCriteria.h"

#include "search/ui/FilterPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>

SearchCriteria criteriaFromPanel(const TFilterPanel& panel)
{
    SearchCriteria criteria;
    criteria.byDisc = panel.CheckBox1->isChecked();
    criteria.discLabel = panel.ComboBox1->currentText();
    criteria.byFile = panel.CheckBox2->isChecked();
    criteria.pattern = panel.Edit2->text();
    criteria.byDateFrom = panel.CheckBox3->isChecked();
    criteria.dateFrom = panel.DateTimePicker1->dateTime();
    criteria.byDateTo = panel.CheckBox4->isChecked();
    criteria.dateTo = panel.DateTimePicker2->dateTime();
    criteria.byExtension = panel.CheckBox5->isChecked();
    criteria.extension = panel.ComboBox2->currentText();
    return criteria;
}
