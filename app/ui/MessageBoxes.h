#pragma once

#include "common/IMessages.h"

// The program's message boxes on screen, as the user sees them.
class MessageBoxes : public IMessages
{
  public:
    void showMessage(const QString& text) override;
    bool confirm(const QString& question) override;
    void showError(const QString& text) override;

    // The default error box shows the text with a "." added when the text is not empty
    // and its last character comes after "." in code order ("!" or ")" get none).
    static QString errorBoxText(const QString& text);
};
