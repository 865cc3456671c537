#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <functional>

// Handles the modal dialog of type T once it shows (arm it before the click that opens it);
// closes whatever modal dialog is open after a few seconds at the latest.
template <typename T> void whenShown(const std::function<void(T*)>& handle)
{
    auto* poll = new QTimer;
    auto* deadline = new QElapsedTimer;
    deadline->start();
    QObject::connect(poll, &QTimer::timeout, [=] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            // Once: a handler that waits for the dialog runs the event loop meanwhile.
            poll->stop();
            handle(dialog);
        } else if (deadline->elapsed() < 5000) {
            return;
        } else if (QWidget* other = QApplication::activeModalWidget()) {
            other->hide();
        }
        poll->stop();
        poll->deleteLater();
        delete deadline;
    });
    poll->start(10);
}
