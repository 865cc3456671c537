#include "settings/ui/UnSettings.h"

#include "common/IMessages.h"
#include "common/TessaroError.h"
#include "common/ui/Panels.h"
#include "settings/DriveMapping.h"
#include "settings/DriveSetting.h"
#include "settings/HashSetting.h"
#include "settings/MediaNoticeSetting.h"
#include "settings/NameSearchSetting.h"
#include "settings/ui/DrivePicker.h"
#include "settings/ui/RootChooser.h"

#include <QCheckBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QStatusTipEvent>

namespace
{
void setHint(QWidget* widget, const QString& hint)
{
    widget->setToolTip(hint);
    widget->setStatusTip(hint);
}

QPushButton* plainButton(const QString& caption, const QString& hint, QWidget* parent)
{
    auto* button = new QPushButton(caption, parent);
    // No default button: Enter never closes the dialog.
    button->setAutoDefault(false);
    button->setDefault(false);
    setHint(button, hint);
    return button;
}
} // namespace

TfrmSettings::TfrmSettings(IMessages& messages, const DriveSetting& setting, DriveSource drives,
                           QWidget* parent, RootSource chooseRoot)
    : QDialog(parent), messages_(messages), setting_(setting), drives_(std::move(drives)),
      chooseRoot_(chooseRoot ? std::move(chooseRoot) : RootSource(&RootChooser::choose))
{
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("Settings"));
    setFixedSize(228, 127);

    // The caption bar takes the top 20 pixels of the panel.
    panel_ = Panels::outerPanel(this, Panels::SkyBlue);
    panel_->setGeometry(0, 0, 228, 127);

    auto* driveCaption = new QLabel(QStringLiteral("CD Drive:"), panel_);
    driveCaption->setObjectName(QStringLiteral("Label1"));
    driveCaption->move(14, 39);
    driveCaption->adjustSize();

    drivePicker_ = new DrivePicker(panel_);
    drivePicker_->setObjectName(QStringLiteral("DriveComboBox1"));
    drivePicker_->setGeometry(66, 36, 145, 19);
    setHint(drivePicker_, QStringLiteral("CDROM Drive"));
    connect(drivePicker_, &DrivePicker::mapRequested, this, &TfrmSettings::mapRoot);

    listArchives_ = new QCheckBox(QStringLiteral("List &archive contents"), panel_);
    listArchives_->setObjectName(QStringLiteral("ArchivesCheckBox"));
    listArchives_->setGeometry(66, 57, 145, 16);
    setHint(listArchives_, QStringLiteral("Catalogue the files inside archives"));

    QPushButton* cancelButton = plainButton(QStringLiteral("&Cancel"), QStringLiteral("Cancel"), panel_);
    cancelButton->setObjectName(QStringLiteral("Button1"));
    cancelButton->setGeometry(22, 75, 51, 22);
    connect(cancelButton, &QPushButton::clicked, this, &TfrmSettings::cancel);

    QPushButton* okButton = plainButton(QStringLiteral("&OK"), QStringLiteral("Confirm"), panel_);
    okButton->setObjectName(QStringLiteral("Button2"));
    okButton->setGeometry(151, 75, 51, 22);
    connect(okButton, &QPushButton::clicked, this, &TfrmSettings::confirm);

    // Along the bottom, inside the panel's border and its 2-pixel margin.
    statusBar_ = new QStatusBar(panel_);
    statusBar_->setObjectName(QStringLiteral("StatusBar1"));
    statusBar_->setSizeGripEnabled(false);
    statusBar_->setGeometry(3, 127 - 3 - 19, 228 - 6, 19);

    // Each box a row of its own under the buttons: the window grows by it, the status bar stays at
    // the bottom.
    const auto addRow = [this](const QString& text, const char* name, const QString& hint) {
        constexpr int kRow = 20;
        auto* box = new QCheckBox(text, panel_);
        box->setObjectName(QLatin1String(name));
        box->setGeometry(66, statusBar_->y() - 3, 145, 16);
        setHint(box, hint);
        setFixedSize(width(), height() + kRow);
        panel_->resize(panel_->width(), panel_->height() + kRow);
        statusBar_->move(statusBar_->x(), statusBar_->y() + kRow);
        return box;
    };
    namesAnywhere_ = addRow(QStringLiteral("Find &names anywhere"), "NamesCheckBox",
                            QStringLiteral("Find a File pattern without * or \\ anywhere in the names"));
    hashContents_ = addRow(QStringLiteral("&Hash file contents"), "HashesCheckBox",
                           QStringLiteral("Read every file and keep a hash of its content (slow)"));
    noticeMedia_ = addRow(QStringLiteral("Notice &inserted discs"), "MediaCheckBox",
                          QStringLiteral("Offer to catalogue or update a disc when it is put in"));
}

QChar TfrmSettings::ReadDriveSetting() const
{
    return setting_.ReadDriveSetting();
}

void TfrmSettings::WriteDriveSetting()
{
    setting_.WriteDriveSetting(drivePicker_->drive());
}

void TfrmSettings::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

// The list, labels included, is read once and kept for the rest of the run.
void TfrmSettings::FormShow()
{
    if (!listed_) {
        listed_ = true;
        listDrives();
    }
    listArchives_->setChecked(setting_.ListArchives());
    namesAnywhere_->setChecked(NameSearchSetting(setting_.path()).namesAnywhere());
    try {
        hashContents_->setChecked(HashSetting(setting_.path()).hashContents());
    } catch (const TessaroError& error) {
        messages_.showError(error.message());
    }
    try {
        drivePicker_->setDrive(ReadDriveSetting());
    } catch (const TessaroError& error) {
        messages_.showError(error.message());
    }
    try {
        noticeMedia_->setChecked(MediaNoticeSetting(setting_.path()).on());
    } catch (const TessaroError& error) {
        noticeMedia_->setChecked(false);
        messages_.showError(error.message());
    }
}

void TfrmSettings::listDrives()
{
    listedDrives_ = drives_ ? drives_() : std::vector<DriveEntry>{};
    drivePicker_->setDrives(listedDrives_);
}

void TfrmSettings::mapRoot()
{
    const QString root = chooseRoot_(this);
    if (root.isEmpty())
        return;
    try {
        const QChar letter = DriveMapping::map(setting_, root, listedDrives_);
        // The new drive shows at once, picked, with its label read now.
        listDrives();
        drivePicker_->setDrive(letter);
    } catch (const TessaroError& error) {
        messages_.showError(error.message());
    }
}

void TfrmSettings::cancel()
{
    reject();
}

void TfrmSettings::confirm()
{
    try {
        WriteDriveSetting();
        // Written only when changed, so an untouched box leaves tessaro.ini as it was.
        if (listArchives_->isChecked() != setting_.ListArchives())
            setting_.WriteListArchives(listArchives_->isChecked());
        const NameSearchSetting names(setting_.path());
        if (namesAnywhere_->isChecked() != names.namesAnywhere())
            names.writeNamesAnywhere(namesAnywhere_->isChecked());
        const MediaNoticeSetting media(setting_.path());
        if (noticeMedia_->isChecked() != media.on())
            media.write(noticeMedia_->isChecked());
        const HashSetting hashes(setting_.path());
        if (hashContents_->isChecked() != hashes.hashContents())
            hashes.write(hashContents_->isChecked());
    } catch (const TessaroError& error) {
        messages_.showError(error.message());
        return;
    }
    accept();
}

bool TfrmSettings::event(QEvent* event)
{
    if (event->type() == QEvent::StatusTip) {
        statusBar_->showMessage(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QDialog::event(event);
}

// Escape does not close the dialog either: only its buttons do.
void TfrmSettings::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
