#pragma once

#include <QDialog>

class CaptionButton;
class QFrame;
class QLabel;
class QPushButton;

// The about box: a small borderless window without a caption bar, shown modally from the
// help menu and closed by "&OK" or its exit button.
class TfrmAbout : public QDialog
{
    Q_OBJECT
  public:
    explicit TfrmAbout(QWidget* parent = nullptr);

    QFrame* Panel1;
    QLabel* Image1;               // emblem
    QLabel* Image2;               // picture
    QLabel* Label1;               // product name
    QLabel* Label2;               // version
    QLabel* Label3;               // year
    QLabel* Label4;               // link to the home page
    QPushButton* Button1;         // "&OK"
    CaptionButton* dxToolButton1; // exit

  public Q_SLOTS:
    void Button1Click();
    void dxToolButton1Click();
    void Label4Click();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
};
