#include "scan/MediumSet.h"

#include <QByteArrayList>

namespace
{
const QString kBlock = QStringLiteral("org.freedesktop.UDisks2.Block");
const QString kFilesystem = QStringLiteral("org.freedesktop.UDisks2.Filesystem");
const QString kDrive = QStringLiteral("org.freedesktop.UDisks2.Drive");

// UDisks2 hands out file names as byte strings ended by a NUL.
QString fileName(const QVariant& value)
{
    QByteArray bytes = value.toByteArray();
    while (bytes.endsWith('\0'))
        bytes.chop(1);
    return QString::fromLocal8Bit(bytes);
}

QStringList fileNames(const QVariant& value)
{
    QStringList names;
    for (const QByteArray& bytes : value.value<QByteArrayList>())
        names << fileName(bytes);
    return names;
}
} // namespace

std::vector<MediumSet::Event> MediumSet::reset(const std::map<QString, Interfaces>& objects)
{
    objects_ = objects;
    return update();
}

std::vector<MediumSet::Event> MediumSet::addInterfaces(const QString& object, const Interfaces& interfaces)
{
    Interfaces& known = objects_[object];
    for (const auto& [name, properties] : interfaces)
        known[name] = properties;
    return update();
}

std::vector<MediumSet::Event> MediumSet::removeInterfaces(const QString& object,
                                                          const QStringList& interfaces)
{
    const auto found = objects_.find(object);
    if (found == objects_.end())
        return {};
    for (const QString& name : interfaces)
        found->second.erase(name);
    if (found->second.empty())
        objects_.erase(found);
    return update();
}

std::vector<MediumSet::Event> MediumSet::changeProperties(const QString& object, const QString& interface,
                                                          const QVariantMap& changed,
                                                          const QStringList& invalidated)
{
    // Properties of an interface nobody announced are kept all the same: the announcement may
    // be on its way, and a medium is judged on what is known.
    QVariantMap& properties = objects_[object][interface];
    for (auto it = changed.begin(); it != changed.end(); ++it)
        properties.insert(it.key(), it.value());
    for (const QString& name : invalidated)
        properties.remove(name);
    return update();
}

std::map<QString, Medium> MediumSet::currentMedia() const
{
    std::map<QString, Medium> media;
    for (const auto& [object, interfaces] : objects_) {
        const auto block = interfaces.find(kBlock);
        if (block == interfaces.end())
            continue;
        const QVariantMap& b = block->second;
        if (b.value(QStringLiteral("IdUsage")).toString() != QLatin1String("filesystem") ||
            b.value(QStringLiteral("HintIgnore")).toBool())
            continue;
        if (b.contains(QStringLiteral("Size")) && b.value(QStringLiteral("Size")).toULongLong() == 0)
            continue;
        QVariantMap drive;
        const auto driveObject = objects_.find(b.value(QStringLiteral("Drive")).toString());
        if (driveObject != objects_.end()) {
            const auto found = driveObject->second.find(kDrive);
            if (found != driveObject->second.end())
                drive = found->second;
        }
        const bool optical = drive.value(QStringLiteral("Optical")).toBool();
        // A disk inside the machine is no medium a person puts in, whatever it holds.
        const bool removable =
            optical || drive.value(QStringLiteral("Removable")).toBool() ||
            drive.value(QStringLiteral("MediaRemovable")).toBool() ||
            (b.contains(QStringLiteral("HintSystem")) && !b.value(QStringLiteral("HintSystem")).toBool());
        if (!removable)
            continue;
        Medium medium;
        medium.object = object;
        medium.device = fileName(b.value(QStringLiteral("Device")));
        medium.label = b.value(QStringLiteral("IdLabel")).toString();
        medium.fileSystemId = b.value(QStringLiteral("IdUUID")).toString();
        medium.fileSystemType = b.value(QStringLiteral("IdType")).toString();
        medium.optical = optical;
        const auto filesystem = interfaces.find(kFilesystem);
        if (filesystem != interfaces.end())
            medium.mountPoints = fileNames(filesystem->second.value(QStringLiteral("MountPoints")));
        media.emplace(object, std::move(medium));
    }
    return media;
}

std::vector<MediumSet::Event> MediumSet::update()
{
    std::map<QString, Medium> now = currentMedia();
    std::vector<Event> events;
    for (const auto& [object, medium] : media_) {
        const auto found = now.find(object);
        if (found == now.end() || !found->second.sameAs(medium))
            events.push_back({Change::Gone, medium});
    }
    for (const auto& [object, medium] : now) {
        const auto found = media_.find(object);
        if (found == media_.end() || !found->second.sameAs(medium))
            events.push_back({Change::Appeared, medium});
        else if (found->second.mountPoints != medium.mountPoints)
            events.push_back({Change::MountChanged, medium});
    }
    media_ = std::move(now);
    return events;
}
