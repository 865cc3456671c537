#pragma once

#include "catalogue/DiscStore.h"
#include "maintenance/ui/MaintenanceDialog.h"

#include <vector>

class ICatalogueHost;
class IMessages;
class QComboBox;

// Removes one disc and all its files from the catalogue after the user confirms.
class TfrmDelCD : public MaintenanceDialog
{
    Q_OBJECT
  public:
    TfrmDelCD(ICatalogueHost& host, IMessages& messages, QWidget* parent = nullptr);

    // Lists every disc by its label, highest id first; run before every showing.
    void FillDiscList();

    QLabel* Label1;
    QComboBox* ComboBox1; // disc labels
    QPushButton* Button1; // &Cancel
    QPushButton* Button2; // &OK

  public Q_SLOTS:
    void Button1Click();
    void Button2Click();

  protected:
    void exitRequested() override;

  private:
    ICatalogueHost& host_;
    IMessages& messages_;
    std::vector<DiscStore::DiscRow> discs_; // the rows behind the list, in its order
};
