#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <map>
#include <vector>

// A medium as UDisks2 describes it: a block device holding a file system that a person put in
// (a disc in an optical drive, a USB stick or disk), never a system disk.
struct Medium {
    QString object;       // UDisks2's object path of the block device
    QString device;       // "/dev/sr0"
    QString label;        // the file system's label; empty when it has none
    QString fileSystemId; // the file system's UUID or serial number, as udev names it
    QString fileSystemType;
    QStringList mountPoints; // empty while nobody mounted it
    bool optical = false;

    // The same medium: a different label or id on the same device is another one.
    bool sameAs(const Medium& other) const
    {
        return object == other.object && device == other.device && label == other.label &&
               fileSystemId == other.fileSystemId;
    }
};

// UDisks2's objects as its object manager and property signals describe them (interface name ->
// properties, values as plain Qt types: paths and texts as QString, byte strings as QByteArray,
// lists of byte strings as QByteArrayList), and the media among them. Kept apart from the bus
// so that what counts as a medium, and what changed, is decided in one place.
class MediumSet
{
  public:
    using Interfaces = std::map<QString, QVariantMap>;

    enum class Change { Appeared, Gone, MountChanged };
    struct Event {
        Change change;
        Medium medium;
    };

    // Everything at once (the object manager's answer after a start or a restart of the service).
    std::vector<Event> reset(const std::map<QString, Interfaces>& objects);
    std::vector<Event> addInterfaces(const QString& object, const Interfaces& interfaces);
    std::vector<Event> removeInterfaces(const QString& object, const QStringList& interfaces);
    std::vector<Event> changeProperties(const QString& object, const QString& interface,
                                        const QVariantMap& changed, const QStringList& invalidated);

    // By object path.
    const std::map<QString, Medium>& media() const { return media_; }

  private:
    // Recomputes the media and returns how they differ from before: gone first, then appeared.
    std::vector<Event> update();
    std::map<QString, Medium> currentMedia() const;

    std::map<QString, Interfaces> objects_;
    std::map<QString, Medium> media_;
};
