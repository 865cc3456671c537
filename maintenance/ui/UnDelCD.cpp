#include "maintenance/ui/UnDelCD.h"

#include "catalogue/Catalogue.h"
#include "common/IMessages.h"
#include "common/TessaroError.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

TfrmDelCD::TfrmDelCD(Catalogue& catalogue, std::function<void()> refreshFilters, IMessages& messages,
                     QWidget* parent)
    : MaintenanceDialog(QStringLiteral("Remove CD"), 190, 133, parent), catalogue_(catalogue),
      refreshFilters_(std::move(refreshFilters)), messages_(messages)
{
    setObjectName(QStringLiteral("frmDelCD"));
    addLabel("Label1", QStringLiteral("CD:"), 14, 39);
    discList_ = new QComboBox(panel());
    discList_->setObjectName(QStringLiteral("ComboBox1"));
    discList_->setGeometry(44, 36, 117, 21);
    setHint(discList_, QStringLiteral("CD ID"));
    QPushButton* cancelButton =
        addButton("Button1", QStringLiteral("&Cancel"), QStringLiteral("Cancel"), 14, 79, 51, 22);
    QPushButton* okButton =
        addButton("Button2", QStringLiteral("&OK"), QStringLiteral("Confirm"), 124, 79, 51, 22);
    connect(cancelButton, &QPushButton::clicked, this, &TfrmDelCD::cancel);
    connect(okButton, &QPushButton::clicked, this, &TfrmDelCD::confirm);
}

void TfrmDelCD::FillDiscList()
{
    discList_->clear();
    discs_ = catalogue_.discs();
    for (const DiscStore::DiscRow& disc : discs_)
        discList_->addItem(disc.label());
    const bool any = discList_->count() > 0;
    if (!any)
        discList_->addItem(QStringLiteral("- None -"));
    discList_->setEnabled(any);
    discList_->setCurrentIndex(0);
}

void TfrmDelCD::cancel()
{
    closeDialog();
}

void TfrmDelCD::confirm()
{
    if (!discList_->isEnabled()) {
        closeDialog();
        return;
    }
    if (!messages_.confirm(QStringLiteral("Remove CD from the archive?")))
        return;
    const qsizetype chosen = discList_->currentIndex();
    if (chosen < 0 || chosen >= qsizetype(discs_.size()))
        return;
    const DiscStore::DiscRow disc = discs_[size_t(chosen)];
    // A failure goes to the default error box from here and the dialog stays open: an exception
    // must not unwind through Qt's event delivery, which cleans nothing up on the way.
    try {
        // The list was read when the dialog opened: the disc may have been removed since and its
        // id handed to another disc, which must not go in its place.
        if (!catalogue_.removeIfUnchanged(disc)) {
            messages_.showError(DiscStore::noLongerThere(disc.label()));
            FillDiscList();
            refreshFilters_();
            return;
        }
        refreshFilters_();
    } catch (const TessaroError& error) {
        messages_.showError(error.message());
        return;
    }
    closeDialog();
}

void TfrmDelCD::exitRequested()
{
    cancel();
}
