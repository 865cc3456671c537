#pragma once

#include <QObject>
#include <QWidget>
#include <QtGlobal>
#include <memory>

// Tests reach a window's controls by their object names, the names the look and window-manager
// checks use too, never through the window's members. A control of another window that the
// window owns (one of its dialogs) is not the window's own; an entry of one of its menus is.
// A name that is missing or found twice ends the test program, saying which.
template <typename T = QWidget> T* windowChild(const QObject& window, const char* name)
{
    T* found = nullptr;
    int count = 0;
    const auto candidates = window.findChildren<T*>(QLatin1String(name));
    for (T* candidate : candidates) {
        bool elsewhere = false;
        for (const QObject* up = candidate->parent(); up && up != &window; up = up->parent()) {
            const auto* widget = qobject_cast<const QWidget*>(up);
            if (widget && widget->isWindow() && widget->windowType() != Qt::Popup) {
                elsewhere = true;
                break;
            }
        }
        if (!elsewhere) {
            found = candidate;
            ++count;
        }
    }
    if (count != 1)
        qFatal("%s \"%s\" has %s %s named \"%s\"", window.metaObject()->className(),
               qPrintable(window.objectName()), count == 0 ? "no" : "more than one",
               T::staticMetaObject.className(), name);
    return found;
}

template <typename T = QWidget> T* windowChild(const QObject* window, const char* name)
{
    if (!window)
        qFatal("no window to look for \"%s\" in", name);
    return windowChild<T>(*window, name);
}

template <typename T = QWidget, typename W> T* windowChild(const std::unique_ptr<W>& window, const char* name)
{
    return windowChild<T>(window.get(), name);
}
