#include "settings/ui/UnSettings.h"

#include "common/IMessages.h"
#include "common/TessaroError.h"
#include "common/ui/Panels.h"
#include "settings/DriveMapping.h"
#include "settings/DriveSetting.h"
#include "settings/HashSetting.h"
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
    Panel1 = Panels::outerPanel(this, Panels::SkyBlue);
    Panel1->setGeometry(0, 0, 228, 127);

    Label1 = new QLabel(QStringLiteral("CD Drive:"), Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(14, 39);
    Label1->adjustSize();

    DriveComboBox1 = new DrivePicker(Panel1);
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    DriveComboBox1->setGeometry(66, 36, 145, 19);
    setHint(DriveComboBox1, QStringLiteral("CDROM Drive"));
    connect(DriveComboBox1, &DrivePicker::mapRequested, this, &TfrmSettings::mapRoot);

    ArchivesCheckBox = new QCheckBox(QStringLiteral("List &archive contents"), Panel1);
    ArchivesCheckBox->setObjectName(QStringLiteral("ArchivesCheckBox"));
    ArchivesCheckBox->setGeometry(66, 57, 145, 16);
    setHint(ArchivesCheckBox, QStringLiteral("Catalogue the files inside archives"));

    Button1 = plainButton(QStringLiteral("&Cancel"), QStringLiteral("Cancel"), Panel1);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(22, 75, 51, 22);
    connect(Button1, &QPushButton::clicked, this, &TfrmSettings::Button1Click);

    Button2 = plainButton(QStringLiteral("&OK"), QStringLiteral("Confirm"), Panel1);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(151, 75, 51, 22);
    connect(Button2, &QPushButton::clicked, this, &TfrmSettings::Button2Click);

    // Along the bottom, inside the panel's border and its 2-pixel margin.
    StatusBar1 = new QStatusBar(Panel1);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setGeometry(3, 127 - 3 - 19, 228 - 6, 19);

    // A row of its own under the buttons: the window grows by it, the status bar stays at the bottom.
    constexpr int kRow = 20;
    NamesCheckBox = new QCheckBox(QStringLiteral("Find names anywhere"), Panel1);
    NamesCheckBox->setObjectName(QStringLiteral("NamesCheckBox"));
    NamesCheckBox->setGeometry(66, StatusBar1->y() - 3, 145, 16);
    setHint(NamesCheckBox, QStringLiteral("Find a File pattern without * or \\ anywhere in the names"));
    setFixedSize(width(), height() + kRow);
    Panel1->resize(Panel1->width(), Panel1->height() + kRow);
    StatusBar1->move(StatusBar1->x(), StatusBar1->y() + kRow);

    // The same again for hashing, in the same column as the archive box.
    hashContents_ = new QCheckBox(QStringLiteral("&Hash file contents"), Panel1);
    hashContents_->setObjectName(QStringLiteral("HashesCheckBox"));
    hashContents_->setGeometry(66, StatusBar1->y() - 3, 145, 16);
    setHint(hashContents_, QStringLiteral("Read every file and keep a hash of its content (slow)"));
    setFixedSize(width(), height() + kRow);
    Panel1->resize(Panel1->width(), Panel1->height() + kRow);
    StatusBar1->move(StatusBar1->x(), StatusBar1->y() + kRow);
}

QChar TfrmSettings::ReadDriveSetting() const
{
    return setting_.ReadDriveSetting();
}

void TfrmSettings::WriteDriveSetting()
{
    setting_.WriteDriveSetting(DriveComboBox1->drive());
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
    ArchivesCheckBox->setChecked(setting_.ListArchives());
    NamesCheckBox->setChecked(NameSearchSetting(setting_.path()).namesAnywhere());
    try {
        hashContents_->setChecked(HashSetting(setting_.path()).hashContents());
    } catch (const TessaroError& error) {
        messages_.showError(error.message());
    }
    try {
        DriveComboBox1->setDrive(ReadDriveSetting());
    } catch (const TessaroError& error) {
        messages_.showError(error.message());
    }
}

void TfrmSettings::listDrives()
{
    listedDrives_ = drives_ ? drives_() : std::vector<DriveEntry>{};
    DriveComboBox1->setDrives(listedDrives_);
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
        DriveComboBox1->setDrive(letter);
    } catch (const TessaroError& error) {
        messages_.showError(error.message());
    }
}

void TfrmSettings::Button1Click()
{
    reject();
}

void TfrmSettings::Button2Click()
{
    try {
        WriteDriveSetting();
        // Written only when changed, so an untouched box leaves tessaro.ini as it was.
        if (ArchivesCheckBox->isChecked() != setting_.ListArchives())
            setting_.WriteListArchives(ArchivesCheckBox->isChecked());
        const NameSearchSetting names(setting_.path());
        if (NamesCheckBox->isChecked() != names.namesAnywhere())
            names.writeNamesAnywhere(NamesCheckBox->isChecked());
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
        StatusBar1->showMessage(static_cast<QStatusTipEvent*>(event)->tip());
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
