#pragma once

#include <QLabel>
#include <QThread>
#include <atomic>
#include <memory>

// Disc details' line of copies elsewhere ("Copies elsewhere: 97 % of files, …"). The figures
// take a second or more on a big catalogue, so they are read on a thread of their own, over a
// read-only connection of their own; the label says "counting…" meanwhile and the window stays
// answering. A result that comes after another disc was asked for is dropped.
class CoverageLabel : public QLabel
{
    Q_OBJECT
  public:
    explicit CoverageLabel(QWidget* parent = nullptr);
    // Waits for a reading still running (its result is dropped).
    ~CoverageLabel() override;

    // Starts reading the disc's coverage in the catalogue file.
    void showDisc(const QString& catalogue, qint64 discId);
    // Whether a reading is running (tests).
    bool counting() const { return counting_; }

  Q_SIGNALS:
    void counted();

  private:
    void finish(int asked, const QString& text);

    int asked_ = 0; // the showDisc the label waits for
    bool counting_ = false;
    std::vector<std::unique_ptr<QThread>> threads_;
};
