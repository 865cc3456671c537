#pragma once

#include <QWidget>

class QFrame;
class QLabel;

// The splash screen shown while the main window fills its lists at start-up. It takes no
// input; its owner frees it once the lists are filled.
class TfrmLoading : public QWidget
{
    Q_OBJECT
  public:
    explicit TfrmLoading(QWidget* owner);

    // Creates the splash owned by owner, shows it centred and lets it be drawn before the
    // caller goes on with the slow work.
    static TfrmLoading* showFor(QWidget* owner);

    QFrame* Panel1;
    QLabel* Image1;
};
