#pragma once

#include <QColor>
#include <QFont>
#include <QFrame>
#include <QPalette>

// The colours, the font and the outer panel that every window of the program is drawn with.
// Only the window libraries include this header.
//
// The windows are laid out in fixed pixels for one small face and painted in fixed colours:
// a desktop palette (a dark theme) or a larger desktop font must not reach them, or light
// panels get light text and captions no longer fit their places.
namespace Panels
{
inline const QColor SkyBlue{166, 202, 240};
inline const QColor LightBlue{210, 228, 249};
// The info-tip colour: the pattern box, the grid's cells and the balloon hints.
inline const QColor InfoTip{255, 255, 225};
inline const QColor ButtonFace{240, 240, 240};
inline const QColor GrayText{109, 109, 109};

// Every role of every colour group set, so that nothing is left to the desktop palette.
inline QPalette windowPalette()
{
    QPalette palette;
    const struct {
        QPalette::ColorRole role;
        QColor colour;
    } roles[] = {
        {QPalette::Window, ButtonFace},
        {QPalette::WindowText, Qt::black},
        {QPalette::Base, Qt::white},
        {QPalette::AlternateBase, QColor(247, 247, 247)},
        {QPalette::ToolTipBase, InfoTip},
        {QPalette::ToolTipText, Qt::black},
        {QPalette::PlaceholderText, GrayText},
        {QPalette::Text, Qt::black},
        {QPalette::Button, ButtonFace},
        {QPalette::ButtonText, Qt::black},
        {QPalette::BrightText, Qt::white},
        {QPalette::Light, Qt::white},
        {QPalette::Midlight, QColor(227, 227, 227)},
        {QPalette::Mid, QColor(160, 160, 160)},
        {QPalette::Dark, QColor(160, 160, 160)},
        {QPalette::Shadow, QColor(105, 105, 105)},
        {QPalette::Highlight, QColor(0, 120, 215)},
        {QPalette::HighlightedText, Qt::white},
        {QPalette::Link, QColor(0, 102, 204)},
        {QPalette::LinkVisited, QColor(0, 102, 204)},
    };
    for (const auto& r : roles)
        palette.setColor(QPalette::All, r.role, r.colour);
    for (QPalette::ColorRole text : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, text, GrayText);
    palette.setColor(QPalette::Disabled, QPalette::Base, ButtonFace);
    return palette;
}

// The windows' face, 11 pixels whatever the screen's dots per inch, every property fixed.
inline QFont windowFont(int pixelSize = 11)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setResolveMask(QFont::AllPropertiesResolved);
    return font;
}

// Gives a window the program's palette and face; its controls take them from it.
inline void applyLook(QWidget* window)
{
    window->setPalette(windowPalette());
    window->setFont(windowFont());
}

// "Panel1": a single-line border around a face of the given colour, filling the window,
// which takes the program's palette and face.
inline QFrame* outerPanel(QWidget* window, const QColor& face)
{
    applyLook(window);
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
