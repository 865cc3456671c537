#pragma once

#include "catalogue/DiscStore.h"
#include "maintenance/ui/MaintenanceDialog.h"

#include <functional>
#include <vector>

class Catalogue;
class IMessages;
class QComboBox;

// Removes one disc and all its files from the catalogue after the user confirms.
class TfrmDelCD : public MaintenanceDialog
{
    Q_OBJECT
  public:
    // refreshFilters refreshes the main window's filter lists after a removal.
    TfrmDelCD(Catalogue& catalogue, std::function<void()> refreshFilters, IMessages& messages,
              QWidget* parent = nullptr);

    // Lists every disc by its label, highest id first; run before every showing.
    void FillDiscList();

  protected:
    void exitRequested() override;

  private:
    void cancel();
    // Removes the chosen disc once the user confirms.
    void confirm();

    QComboBox* discList_; // disc labels, "- None -" when there are none
    Catalogue& catalogue_;
    std::function<void()> refreshFilters_;
    IMessages& messages_;
    std::vector<DiscStore::DiscRow> discs_; // the rows behind the list, in its order
};
