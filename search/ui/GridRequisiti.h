#pragma once

#include <QTableView>

class GridFileDelegate;
class ResultModel;
class ResultSet;
class TFilterPanel;

// The results grid: the rows of the result query in four read-only columns that the user
// may resize and reorder; whole rows are selected; a click on a title sorts by its column.
class TGridRequisiti : public QTableView
{
    Q_OBJECT
  public:
    // `filters` supplies the extension list and its icons for the "File" column; without it
    // names are drawn without icons.
    TGridRequisiti(ResultSet& result, const TFilterPanel* filters, QWidget* parent = nullptr);

    ResultModel* resultModel() const { return model_; }
    GridFileDelegate* fileDelegate() const { return delegate_; }
    // The selected rows, one line each in row order: disc label, full name, date and size as
    // shown, tab-separated. Ctrl+C puts them on the clipboard.
    QString selectedRowsText() const;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    ResultModel* model_;
    GridFileDelegate* delegate_;
};
