#pragma once

#include <QColor>
#include <QFrame>
#include <QPalette>

// The colours and the outer panel that every window of the program is drawn with.
// Only the window libraries include this header.
namespace Panels
{
inline const QColor SkyBlue{166, 202, 240};
inline const QColor LightBlue{210, 228, 249};

// "Panel1": a single-line border around a face of the given colour, filling the window.
inline QFrame* outerPanel(QWidget* window, const QColor& face)
{
    auto* panel = new QFrame(window);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Box | QFrame::Plain);
    panel->setLineWidth(1);
    panel->setAutoFillBackground(true);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, face);
    panel->setPalette(palette);
    return panel;
}
} // namespace Panels
