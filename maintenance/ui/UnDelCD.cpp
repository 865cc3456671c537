#include "maintenance/ui/UnDelCD.h"

#include "catalogue/DiscStore.h"
#include "common/IMessages.h"
#include "common/TessaroError.h"
#include "maintenance/ICatalogueHost.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

TfrmDelCD::TfrmDelCD(ICatalogueHost& host, IMessages& messages, QWidget* parent)
    : MaintenanceDialog(QStringLiteral("Remove CD"), 190, 133, parent), host_(host), messages_(messages)
{
    setObjectName(QStringLiteral("frmDelCD"));
    Label1 = addLabel("Label1", QStringLiteral("CD:"), 14, 39);
    ComboBox1 = new QComboBox(Panel1);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(44, 36, 117, 21);
    setHint(ComboBox1, QStringLiteral("CD ID"));
    Button1 = addButton("Button1", QStringLiteral("&Cancel"), QStringLiteral("Cancel"), 14, 79, 51, 22);
    Button2 = addButton("Button2", QStringLiteral("&OK"), QStringLiteral("Confirm"), 124, 79, 51, 22);
    connect(Button1, &QPushButton::clicked, this, &TfrmDelCD::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TfrmDelCD::Button2Click);
}

void TfrmDelCD::FillDiscList()
{
    ComboBox1->clear();
    discs_ = DiscStore::discRows(host_.workQuery());
    for (const DiscStore::DiscRow& disc : discs_)
        ComboBox1->addItem(disc.label());
    const bool any = ComboBox1->count() > 0;
    if (!any)
        ComboBox1->addItem(QStringLiteral("- None -"));
    ComboBox1->setEnabled(any);
    ComboBox1->setCurrentIndex(0);
}

void TfrmDelCD::Button1Click()
{
    closeDialog();
}

void TfrmDelCD::Button2Click()
{
    if (!ComboBox1->isEnabled()) {
        closeDialog();
        return;
    }
    if (!messages_.confirm(QStringLiteral("Remove CD from the archive?")))
        return;
    const qsizetype chosen = ComboBox1->currentIndex();
    if (chosen < 0 || chosen >= qsizetype(discs_.size()))
        return;
    const DiscStore::DiscRow disc = discs_[size_t(chosen)];
    // A failure goes to the default error box from here and the dialog stays open: an exception
    // must not unwind through Qt's event delivery, which cleans nothing up on the way.
    try {
        // The list was read when the dialog opened: the disc may have been removed since and its
        // id handed to another disc, which must not go in its place.
        if (!DiscStore::removeIfUnchanged(host_.connection(), host_.workQuery(), disc)) {
            messages_.showError(DiscStore::noLongerThere(disc.label()));
            FillDiscList();
            host_.RefreshFilters();
            return;
        }
        host_.RefreshFilters();
    } catch (const TessaroError& error) {
        messages_.showError(error.message());
        return;
    }
    closeDialog();
}

void TfrmDelCD::exitRequested()
{
    Button1Click();
}
