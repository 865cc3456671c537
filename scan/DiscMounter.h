#pragma once

#include <QString>
#include <functional>

// Mounts an inserted disc the way a file manager does, so that it gets a root folder.
class IDiscMounter
{
  public:
    virtual ~IDiscMounter() = default;
    // The mount point, or empty when the disc could not be mounted.
    virtual QString mount(const QString& device) = 0;
    // Ends a mount that is being waited for (Stop): it returns empty at once. From the event
    // loop that the wait runs.
    virtual void stop() {}
};

// Asks UDisks2 on the system bus, without letting it ask the user anything; empty where the
// service is absent. The call is asynchronous: while the drive spins up (up to 30 s) the
// answer is waited for in a local event loop, so that windows keep repainting and their Stop
// works; only a program without an event loop of its own waits blocked.
class UDisksMounter : public IDiscMounter
{
  public:
    QString mount(const QString& device) override;
    void stop() override;
    // Why the last mount failed, as the service said it; empty after a success or a stop.
    const QString& error() const { return error_; }
    // Told true when a wait begins and false when it ends (the windows show the wait cursor).
    std::function<void(bool waiting)> OnWaiting;

  private:
    std::function<void()> stop_;
    QString error_;
};

IDiscMounter& systemDiscMounter();
