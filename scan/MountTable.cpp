#include "scan/MountTable.h"

#include <QFile>
#include <QList>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace
{
// The kernel writes space, tab, newline and backslash in names as three-digit octal escapes.
QString unescape(const QByteArray& field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field.at(i);
        if (c == '\\' && i + 3 < field.size()) {
            const QByteArray digits = field.mid(i + 1, 3);
            bool ok = false;
            const int value = digits.toInt(&ok, 8);
            if (ok && digits.size() == 3) {
                out.append(char(value));
                i += 3;
                continue;
            }
        }
        out.append(c);
    }
    return QString::fromUtf8(out);
}
} // namespace

std::vector<MountEntry> MountTable::parse(const QByteArray& text)
{
    std::vector<MountEntry> mounts;
    for (const QByteArray& line : text.split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() < 3)
            continue;
        MountEntry m;
        const qsizetype dash = f.indexOf(QByteArray("-"), 6);
        if (f.size() >= 10 && dash >= 6 && dash + 2 < f.size()) {
            // mountinfo: id parent major:minor root mount-point options [optional...] - type source ...
            m.devNumber = QString::fromLatin1(f.at(2));
            m.root = unescape(f.at(3));
            m.mountPoint = unescape(f.at(4));
            m.fsType = unescape(f.at(dash + 1));
            m.source = unescape(f.at(dash + 2));
        } else {
            // mounts: source mount-point type options dump pass
            m.root = QStringLiteral("/");
            m.source = unescape(f.at(0));
            m.mountPoint = unescape(f.at(1));
            m.fsType = unescape(f.at(2));
        }
        mounts.push_back(m);
    }
    return mounts;
}

std::vector<MountEntry> MountTable::readSystem()
{
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    if (!file.open(QIODevice::ReadOnly)) {
        file.setFileName(QStringLiteral("/proc/mounts"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
    }
    std::vector<MountEntry> mounts;
    for (MountEntry& m : parse(file.readAll())) {
        struct stat st;
        if (::stat(QFile::encodeName(m.mountPoint).constData(), &st) == 0 && !S_ISDIR(st.st_mode))
            continue;
        if (m.devNumber.isEmpty() && m.source.startsWith(QLatin1String("/dev/")) &&
            ::stat(QFile::encodeName(m.source).constData(), &st) == 0 && S_ISBLK(st.st_mode))
            m.devNumber = QStringLiteral("%1:%2").arg(major(st.st_rdev)).arg(minor(st.st_rdev));
        mounts.push_back(std::move(m));
    }
    return mounts;
}
