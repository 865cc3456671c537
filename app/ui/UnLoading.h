#pragma once

#include <QWidget>

class QImage;

// The splash screen shown while the main window fills its lists at start-up. It takes no
// input; its owner frees it once the lists are filled.
class TfrmLoading : public QWidget
{
    Q_OBJECT
  public:
    explicit TfrmLoading(QWidget* owner);

    // Creates the splash owned by owner, shows it centred and waits until it is drawn on the
    // screen, so that the caller can go on with the slow work.
    static TfrmLoading* showFor(QWidget* owner);
    // Returns once the splash is on the screen, fully drawn.
    void drawNow();
    // Whether the screen shows the splash as drawn, a picture of it.
    bool isOnScreen(const QImage& drawn) const;
};
