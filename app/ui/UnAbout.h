#pragma once

#include <QDialog>

// The about box: a small borderless window without a caption bar, shown modally from the
// help menu and closed by "&OK" or its exit button.
class TfrmAbout : public QDialog
{
    Q_OBJECT
  public:
    explicit TfrmAbout(QWidget* parent = nullptr);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void openHomePage();
};
