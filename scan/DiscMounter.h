#pragma once

#include <QString>

// Mounts an inserted disc the way a file manager does, so that it gets a root folder.
class IDiscMounter
{
  public:
    virtual ~IDiscMounter() = default;
    // The mount point, or empty when the disc could not be mounted.
    virtual QString mount(const QString& device) = 0;
};

// Asks UDisks2 on the system bus, without letting it ask the user anything; empty where the
// service is absent.
class UDisksMounter : public IDiscMounter
{
  public:
    QString mount(const QString& device) override;
};

IDiscMounter& systemDiscMounter();
