#pragma once

#include <QString>
#include <stdexcept>

// The one error class of the program: every failure it raises itself is one of these,
// carrying the text shown to the user.
class TessaroError : public std::runtime_error
{
  public:
    explicit TessaroError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message)
    {
    }

    const QString& message() const noexcept { return message_; }

  private:
    QString message_;
};
