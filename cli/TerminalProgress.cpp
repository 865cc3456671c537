#include "cli/TerminalProgress.h"

namespace
{
constexpr qint64 kRedrawMs = 200;

QString duration(qint64 seconds)
{
    const auto two = [](qint64 n) { return QString::number(n).rightJustified(2, QLatin1Char('0')); };
    if (seconds >= 3600)
        return QStringLiteral("%1:%2:%3").arg(seconds / 3600).arg(two(seconds / 60 % 60), two(seconds % 60));
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(two(seconds % 60));
}
} // namespace

QString TerminalProgress::countingText(qint64 counted)
{
    return QStringLiteral("Counting files: %1").arg(counted);
}

QString TerminalProgress::walkingText(int position, qint64 added, qint64 total, qint64 elapsedMs)
{
    constexpr int width = 30;
    const int filled = position * width / 100;
    QString text = QLatin1Char('[') + QString(filled, QLatin1Char('#')) +
                   QString(width - filled, QLatin1Char(' ')) + QStringLiteral("] %1%").arg(position, 3);
    // A rate needs some time behind it: the first moments would promise anything.
    if (elapsedMs < 500 || added == 0)
        return text + QStringLiteral("  - files/s");
    const qint64 rate = added * 1000 / elapsedMs;
    text += QStringLiteral("  %1 files/s").arg(rate);
    if (rate > 0 && total > added)
        text += QStringLiteral("  %1 left").arg(duration((total - added + rate - 1) / rate));
    return text;
}

bool TerminalProgress::due()
{
    if (lastDraw_.isValid() && lastDraw_.elapsed() < kRedrawMs)
        return false;
    lastDraw_.start();
    return true;
}

void TerminalProgress::draw(const QString& text)
{
    // Back to the line's start, the text, and the rest of an earlier, longer text erased.
    std::fprintf(to_, "\r%s\033[K", text.toLocal8Bit().constData());
    std::fflush(to_);
    drawn_ = true;
}

void TerminalProgress::counting(qint64 counted)
{
    if (due())
        draw(countingText(counted));
}

void TerminalProgress::started()
{
    walk_.start();
    lastDraw_.start();
    draw(walkingText(0, 0, 0, 0));
}

void TerminalProgress::walking(int position, qint64 added, qint64 total)
{
    if (due())
        draw(walkingText(position, added, total, walk_.isValid() ? walk_.elapsed() : 0));
}

void TerminalProgress::clear()
{
    if (!drawn_)
        return;
    std::fprintf(to_, "\r\033[K");
    std::fflush(to_);
    drawn_ = false;
}
