#include "search/ui/PanelCriteria.h"

#include "search/ui/FilterPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>

SearchCriteria criteriaFromPanel(const TFilterPanel& panel)
{
    SearchCriteria criteria;
    criteria.byDisc = panel.discFilter_->isChecked();
    criteria.discLabel = panel.discList_->currentText();
    criteria.byFile = panel.fileFilter_->isChecked();
    criteria.pattern = panel.filePattern_->text();
    criteria.byDateFrom = panel.dateFromFilter_->isChecked();
    criteria.dateFrom = panel.dateFrom_->dateTime();
    criteria.byDateTo = panel.dateToFilter_->isChecked();
    criteria.dateTo = panel.dateTo_->dateTime();
    criteria.byExtension = panel.extensionFilter_->isChecked();
    criteria.extension = panel.extensionList_->currentText();
    return criteria;
}
