#include "settings/ui/RootChooser.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

RootChooser::RootChooser(QWidget* parent) : QFileDialog(parent)
{
    setObjectName(QStringLiteral("RootChooser"));
    setWindowTitle(QStringLiteral("Map a folder or image"));
    // The desktop's own dialogs take either a folder or a file, never both.
    setOption(QFileDialog::DontUseNativeDialog);
    setFileMode(QFileDialog::Directory);
    setNameFilters({QStringLiteral("Folders and disc images (*.iso *.udf *.cue *.img)"),
                    QStringLiteral("All files (*)")});
    setLabelText(QFileDialog::FileName, QStringLiteral("Folder or image:"));
    setDirectory(QDir::homePath());
    // Folder mode turns the button off on a file: it stays on.
    if (QPushButton* button = chooseButton())
        button->installEventFilter(this);
    if (auto* typed = findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        connect(typed, &QLineEdit::textChanged, this,
                [this] { QTimer::singleShot(0, this, &RootChooser::keepButtonOn); });
    connect(this, &QFileDialog::currentChanged, this,
            [this] { QTimer::singleShot(0, this, &RootChooser::keepButtonOn); });
}

QString RootChooser::choose(QWidget* parent)
{
    RootChooser dialog(parent);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.chosen_;
}

QPushButton* RootChooser::chooseButton() const
{
    const auto* box = findChild<QDialogButtonBox*>();
    return box ? box->button(QDialogButtonBox::Open) : nullptr;
}

QString RootChooser::selectedFile() const
{
    const QStringList files = selectedFiles();
    if (files.size() == 1 && QFileInfo(files.first()).isFile())
        return files.first();
    if (const auto* typed = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        typed && !typed->text().isEmpty()) {
        const QFileInfo file(directory().absoluteFilePath(typed->text()));
        if (file.isFile())
            return file.absoluteFilePath();
    }
    return {};
}

void RootChooser::keepButtonOn()
{
    QPushButton* button = chooseButton();
    if (button && !button->isEnabled() && !selectedFile().isEmpty())
        button->setEnabled(true);
}

bool RootChooser::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::EnabledChange && watched == chooseButton())
        keepButtonOn();
    return QFileDialog::eventFilter(watched, event);
}

void RootChooser::accept()
{
    if (const QString file = selectedFile(); !file.isEmpty()) {
        chosen_ = file;
        QDialog::accept();
        return;
    }
    QFileDialog::accept();
    if (result() == QDialog::Accepted)
        chosen_ = selectedFiles().value(0);
}
