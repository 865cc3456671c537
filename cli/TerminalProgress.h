#pragma once

#include <QElapsedTimer>
#include <QString>
#include <cstdio>

// The progress of a cataloguing run on one line of a terminal: the files met by the counting
// pass, then the bar's percentage, the files per second and an estimate of the time left.
// Redrawn at most a few times a second; clear() leaves the line empty for what follows.
class TerminalProgress
{
  public:
    explicit TerminalProgress(FILE* to) : to_(to) {}

    void counting(qint64 counted);
    // The walk's start; its rate is measured from here.
    void started();
    void walking(int position, qint64 added, qint64 total);
    void clear();

    // The texts drawn, apart from the terminal's control sequences.
    static QString countingText(qint64 counted);
    static QString walkingText(int position, qint64 added, qint64 total, qint64 elapsedMs);

  private:
    bool due();
    void draw(const QString& text);

    FILE* to_;
    QElapsedTimer walk_;
    QElapsedTimer lastDraw_;
    bool drawn_ = false;
};
