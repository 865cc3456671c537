#pragma once

#include <QFileDialog>

class QPushButton;

// A file chooser that takes a folder or a file (a disc image) alike: Qt's own dialog, which
// shows both, in folder mode with its Choose button also taking a selected file.
class RootChooser : public QFileDialog
{
    Q_OBJECT
  public:
    explicit RootChooser(QWidget* parent = nullptr);

    // The folder or image chosen; empty when the user cancelled.
    static QString choose(QWidget* parent);

    void accept() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The file selected or typed; empty for a folder.
    QString selectedFile() const;
    void keepButtonOn();
    QPushButton* chooseButton() const;
    QString chosen_;
};
