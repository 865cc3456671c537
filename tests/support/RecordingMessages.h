#pragma once

#include "common/IMessages.h"

#include <QStringList>
#include <deque>

// Records every message box instead of showing it; questions take queued answers
// (No when none is queued).
class RecordingMessages : public IMessages
{
  public:
    void showMessage(const QString& text) override { messages.append(text); }
    bool confirm(const QString& question) override
    {
        questions.append(question);
        if (answers.empty())
            return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void showError(const QString& text) override { errors.append(text); }

    QStringList messages;
    QStringList questions;
    QStringList errors;
    std::deque<bool> answers;
};
