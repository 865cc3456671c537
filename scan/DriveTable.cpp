#include "scan/DriveTable.h"

#include "scan/DiscImage.h"
#include "scan/VolumeLabel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <set>

namespace
{
const std::set<QString>& networkTypes()
{
    static const std::set<QString> types = {QStringLiteral("nfs"),
                                            QStringLiteral("nfs4"),
                                            QStringLiteral("cifs"),
                                            QStringLiteral("smb3"),
                                            QStringLiteral("smbfs"),
                                            QStringLiteral("fuse.sshfs"),
                                            QStringLiteral("sshfs"),
                                            QStringLiteral("9p"),
                                            QStringLiteral("ceph"),
                                            QStringLiteral("glusterfs"),
                                            QStringLiteral("fuse.glusterfs"),
                                            QStringLiteral("davfs"),
                                            QStringLiteral("fuse.davfs"),
                                            QStringLiteral("afs"),
                                            QStringLiteral("fuse.rclone")};
    return types;
}

const std::set<QString>& opticalTypes()
{
    static const std::set<QString> types = {QStringLiteral("iso9660"), QStringLiteral("udf"),
                                            QStringLiteral("fuse.fuseiso")};
    return types;
}

// Container layers and snaps sit on block devices too, but are never a volume of the user's.
const std::set<QString>& hiddenTypes()
{
    static const std::set<QString> types = {QStringLiteral("overlay"), QStringLiteral("squashfs"),
                                            QStringLiteral("aufs")};
    return types;
}

bool opticalName(const QString& device)
{
    static const QRegularExpression name(
        QStringLiteral("^/dev/(sr\\d+|cdrom\\d*|dvd\\d*|cdrw\\d*|dvdrw\\d*)$"));
    return name.match(device).hasMatch();
}

bool under(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

// Places where the system keeps its own mounts.
bool systemPlace(const QString& mountPoint)
{
    if (under(mountPoint, QStringLiteral("/run/media")))
        return false;
    for (const char* place : {"/proc", "/sys", "/dev", "/run", "/snap", "/var/snap", "/var/lib/docker",
                              "/var/lib/containers", "/tmp/.mount_"})
        if (under(mountPoint, QString::fromLatin1(place)))
            return true;
    return false;
}

bool ramPlace(const QString& mountPoint)
{
    return under(mountPoint, QStringLiteral("/media")) || under(mountPoint, QStringLiteral("/mnt")) ||
           under(mountPoint, QStringLiteral("/run/media"));
}

QString cleanFolder(const QString& folder)
{
    QString clean = QDir::cleanPath(folder);
    return clean.isEmpty() ? folder : clean;
}

// The mount a folder lies on: the longest mount point that contains it.
const MountEntry* containingMount(const std::vector<MountEntry>& mounts, const QString& folder)
{
    const MountEntry* best = nullptr;
    for (const MountEntry& m : mounts) {
        const bool contains = m.mountPoint == QLatin1String("/") || under(folder, m.mountPoint);
        if (contains && (!best || m.mountPoint.size() >= best->mountPoint.size()))
            best = &m;
    }
    return best;
}

// Letters, a wanted drive each, handed out from "d" while any are left.
class Letters
{
  public:
    bool take(QChar letter)
    {
        const int i = letter.unicode() - 'a';
        if (i < 0 || i >= 26 || used_[i])
            return false;
        used_[i] = true;
        return true;
    }
    QChar next()
    {
        for (int i = 'd' - 'a'; i < 26; ++i)
            if (!used_[i]) {
                used_[i] = true;
                return QChar('a' + i);
            }
        return {};
    }
    bool taken(QChar letter) const
    {
        const int i = letter.unicode() - 'a';
        return i >= 0 && i < 26 && used_[i];
    }

  private:
    bool used_[26] = {};
};
} // namespace

QString driveKindName(DriveKind kind)
{
    switch (kind) {
    case DriveKind::Removable:
        return QStringLiteral("removable");
    case DriveKind::Fixed:
        return QStringLiteral("fixed");
    case DriveKind::Network:
        return QStringLiteral("network");
    case DriveKind::Optical:
        return QStringLiteral("optical");
    case DriveKind::Ram:
        return QStringLiteral("ram");
    }
    return {};
}

std::optional<DriveKind> DriveTable::classify(const MountEntry& mount, const Sources& sources)
{
    if (networkTypes().count(mount.fsType))
        return DriveKind::Network;
    if (opticalTypes().count(mount.fsType))
        return DriveKind::Optical;
    if (mount.fsType == QLatin1String("tmpfs") || mount.fsType == QLatin1String("ramfs"))
        return DriveKind::Ram;
    if (hiddenTypes().count(mount.fsType))
        return std::nullopt;
    if (mount.source.startsWith(QLatin1String("/dev/")))
        return sources.isRemovable && sources.isRemovable(mount) ? DriveKind::Removable : DriveKind::Fixed;
    if (mount.fsType == QLatin1String("zfs") || mount.fsType == QLatin1String("btrfs"))
        return DriveKind::Fixed;
    return std::nullopt;
}

DriveTable::DriveTable(const Sources& sources)
{
    const std::vector<MountEntry> mounts = sources.mounts ? sources.mounts() : std::vector<MountEntry>{};
    const std::vector<OpticalDevice> opticals =
        sources.opticalDevices ? sources.opticalDevices() : std::vector<OpticalDevice>{};
    Letters letters;
    std::set<QString> claimedMounts;  // mount points
    std::set<QString> claimedDevices; // major:minor and device paths

    const auto opticalOf = [&](const QString& device) -> const OpticalDevice* {
        for (const OpticalDevice& o : opticals)
            if (device == QLatin1String("/dev/") + o.name)
                return &o;
        return nullptr;
    };
    const auto mountOfDevice = [&](const QString& device, const QString& devNumber) -> const MountEntry* {
        for (const MountEntry& m : mounts)
            if (m.source == device || (!devNumber.isEmpty() && m.devNumber == devNumber))
                return &m;
        return nullptr;
    };
    const auto claim = [&](const MountEntry* m, const QString& device, const QString& devNumber) {
        if (m) {
            claimedMounts.insert(m->mountPoint);
            if (!m->devNumber.isEmpty())
                claimedDevices.insert(m->devNumber);
            claimedDevices.insert(m->source);
        }
        if (!device.isEmpty())
            claimedDevices.insert(device);
        if (!devNumber.isEmpty())
            claimedDevices.insert(devNumber);
    };
    // A drive whose root is a whole mount takes its device (or remote name) and claims it.
    const auto takeMount = [&](DriveEntry& d, const MountEntry& m) {
        if (m.source.startsWith(QLatin1String("/dev/")))
            d.device = m.source;
        if (d.kind == DriveKind::Network)
            d.remoteName = m.source;
        claim(&m, {}, {});
    };
    const auto labelOf = [&](const DriveEntry& d) {
        // A disc image mapped to a letter carries its own label.
        if (d.device.isEmpty() && sources.readLabel && DiscImage::isImage(d.root))
            return DiscImage::readLabel(d.root);
        if (d.device.isEmpty() || !sources.readLabel || (d.kind == DriveKind::Optical && !d.medium))
            return QString();
        return sources.readLabel(d.device);
    };

    // 1. The user's mappings: a folder (an image or stick mounted somewhere) or a device.
    for (const auto& [key, value] : sources.mappings) {
        const QChar letter = key.toLower();
        if (value.trimmed().isEmpty() || !letters.take(letter))
            continue;
        DriveEntry d;
        d.letter = letter;
        if (value.startsWith(QLatin1String("/dev/"))) {
            d.device = value;
            const OpticalDevice* optical = opticalOf(value);
            const QString devNumber = optical ? optical->devNumber : QString();
            const MountEntry* m = mountOfDevice(value, devNumber);
            if (m)
                d.root = m->mountPoint;
            if (optical || opticalName(value)) {
                // A drive sysfs does not list (yet) is still an optical drive, only an empty one.
                d.kind = DriveKind::Optical;
                d.medium = (optical && optical->medium) || m;
            } else {
                MountEntry probe = m ? *m : MountEntry{devNumber, QStringLiteral("/"), {}, {}, value};
                d.kind = classify(probe, sources).value_or(DriveKind::Fixed);
                if (d.kind == DriveKind::Network)
                    d.remoteName = probe.source;
            }
            claim(m, value, devNumber);
        } else {
            d.root = cleanFolder(value);
            const MountEntry* m = containingMount(mounts, d.root);
            d.kind = m ? classify(*m, sources).value_or(DriveKind::Fixed) : DriveKind::Fixed;
            if (m && m->mountPoint == d.root)
                takeMount(d, *m);
        }
        d.label = labelOf(d);
        drives_.push_back(d);
    }

    // 2. The root file system is c.
    const MountEntry* rootMount = nullptr;
    for (const MountEntry& m : mounts)
        if (m.mountPoint == QLatin1String("/"))
            rootMount = &m;
    if (letters.take(QLatin1Char('c'))) {
        DriveEntry d;
        d.letter = QLatin1Char('c');
        d.root = QStringLiteral("/");
        if (rootMount) {
            d.kind = classify(*rootMount, sources).value_or(DriveKind::Fixed);
            takeMount(d, *rootMount);
        }
        d.label = labelOf(d);
        drives_.push_back(d);
    } else if (rootMount) {
        claimedMounts.insert(rootMount->mountPoint);
    }

    // 3. Optical drives from d, in device order, with or without a disc.
    for (const OpticalDevice& o : opticals) {
        const QString device = QLatin1String("/dev/") + o.name;
        if (claimedDevices.count(device) || (!o.devNumber.isEmpty() && claimedDevices.count(o.devNumber)))
            continue;
        const QChar letter = letters.next();
        if (letter.isNull())
            break;
        DriveEntry d;
        d.letter = letter;
        d.kind = DriveKind::Optical;
        d.device = device;
        const MountEntry* m = mountOfDevice(device, o.devNumber);
        if (m)
            d.root = m->mountPoint;
        d.medium = o.medium || m;
        claim(m, device, o.devNumber);
        d.label = labelOf(d);
        drives_.push_back(d);
    }

    // 4. Every other mounted volume of a listed kind, in mount-table order.
    for (const MountEntry& m : mounts) {
        if (claimedMounts.count(m.mountPoint) || systemPlace(m.mountPoint))
            continue;
        if ((!m.devNumber.isEmpty() && claimedDevices.count(m.devNumber)) ||
            (m.source.startsWith(QLatin1String("/dev/")) && claimedDevices.count(m.source)))
            continue;
        const std::optional<DriveKind> kind = classify(m, sources);
        if (!kind || (*kind == DriveKind::Ram && !ramPlace(m.mountPoint)))
            continue;
        const QChar letter = letters.next();
        if (letter.isNull())
            break;
        DriveEntry d;
        d.letter = letter;
        d.kind = *kind;
        d.root = m.mountPoint;
        if (m.source.startsWith(QLatin1String("/dev/")))
            d.device = m.source;
        if (d.kind == DriveKind::Network)
            d.remoteName = m.source;
        claim(&m, {}, {});
        d.label = labelOf(d);
        drives_.push_back(d);
    }

    std::sort(drives_.begin(), drives_.end(),
              [](const DriveEntry& a, const DriveEntry& b) { return a.letter < b.letter; });
}

const DriveEntry* DriveTable::find(QChar letter) const
{
    const QChar wanted = letter.toLower();
    for (const DriveEntry& d : drives_)
        if (d.letter == wanted)
            return &d;
    return nullptr;
}

const DriveEntry* DriveTable::findMedium(const QString& device, const QStringList& mountPoints) const
{
    const auto real = [](const QString& path) {
        const QString canonical = QFileInfo(path).canonicalFilePath();
        return canonical.isEmpty() ? QDir::cleanPath(path) : canonical;
    };
    const QString wanted = device.isEmpty() ? QString() : real(device);
    for (const DriveEntry& d : drives_) {
        if (!wanted.isEmpty() && !d.device.isEmpty() && real(d.device) == wanted)
            return &d;
        for (const QString& folder : mountPoints)
            if (!d.root.isEmpty() && real(d.root) == real(folder))
                return &d;
    }
    return nullptr;
}

QString DriveTable::rootOf(QChar letter) const
{
    const DriveEntry* d = find(letter);
    return d ? d->root : QString();
}

namespace
{
QString readSysfs(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(f.readAll()).trimmed();
}

std::vector<OpticalDevice> systemOpticalDevices()
{
    std::vector<OpticalDevice> devices;
    const QDir block(QStringLiteral("/sys/class/block"));
    static const QRegularExpression srName(QStringLiteral("^sr(\\d+)$"));
    for (const QString& name : block.entryList({QStringLiteral("sr*")}, QDir::AllEntries | QDir::System)) {
        if (!srName.match(name).hasMatch())
            continue;
        OpticalDevice o;
        o.name = name;
        o.devNumber = readSysfs(block.filePath(name + QStringLiteral("/dev")));
        o.medium = readSysfs(block.filePath(name + QStringLiteral("/size"))).toLongLong() > 0;
        devices.push_back(o);
    }
    std::sort(devices.begin(), devices.end(), [](const OpticalDevice& a, const OpticalDevice& b) {
        return a.name.mid(2).toInt() < b.name.mid(2).toInt();
    });
    return devices;
}

// USB disks often call themselves fixed: a /usb in the device's sysfs path counts as removable too.
bool systemIsRemovable(const MountEntry& m)
{
    if (m.devNumber.isEmpty())
        return false;
    const QString path = QFileInfo(QStringLiteral("/sys/dev/block/") + m.devNumber).canonicalFilePath();
    if (path.isEmpty())
        return false;
    if (path.contains(QLatin1String("/usb")))
        return true;
    QString flag = readSysfs(path + QStringLiteral("/removable"));
    if (flag.isEmpty())
        flag = readSysfs(path + QStringLiteral("/../removable"));
    return flag == QLatin1String("1");
}
} // namespace

DriveTable::Sources DriveTable::systemSources(std::map<QChar, QString> mappings)
{
    Sources s;
    s.mounts = &MountTable::readSystem;
    s.opticalDevices = &systemOpticalDevices;
    s.isRemovable = &systemIsRemovable;
    s.readLabel = [](const QString& device) { return VolumeLabel::read(device); };
    s.mappings = std::move(mappings);
    return s;
}
