#pragma once

#include <QString>

// The program's message boxes, behind an interface so that tests can answer them.
class IMessages
{
  public:
    virtual ~IMessages() = default;
    // A plain box: the application title as caption, no icon, one OK button.
    virtual void showMessage(const QString& text) = 0;
    // A Yes/No question captioned "Confirm" with the question icon; true for Yes.
    virtual bool confirm(const QString& question) = 0;
    // The application's default error box for an error nobody handled.
    virtual void showError(const QString& text) = 0;
};
