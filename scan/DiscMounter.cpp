#include "scan/DiscMounter.h"

#include <QFileInfo>

#ifdef TESSARO_HAVE_DBUS
#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>
#endif

namespace
{
// UDisks2 names a block device's object after the kernel name, other bytes as _XX.
QString objectPath(const QString& device)
{
    QString canonical = QFileInfo(device).canonicalFilePath();
    if (canonical.isEmpty())
        canonical = device;
    const QByteArray name = QFileInfo(canonical).fileName().toUtf8();
    QString path = QStringLiteral("/org/freedesktop/UDisks2/block_devices/");
    for (const char c : name) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
            path.append(QLatin1Char(c));
        else
            path.append(QStringLiteral("_%1").arg(uint(uchar(c)), 2, 16, QLatin1Char('0')));
    }
    return path;
}
} // namespace

QString UDisksMounter::mount(const QString& device)
{
#ifdef TESSARO_HAVE_DBUS
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return {};
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.UDisks2"), objectPath(device),
        QStringLiteral("org.freedesktop.UDisks2.Filesystem"), QStringLiteral("Mount"));
    QVariantMap options;
    options.insert(QStringLiteral("auth.no_user_interaction"), true);
    call << options;
    // A disc spins up slowly; give it time, but never hang for good.
    const QDBusMessage reply = bus.call(call, QDBus::Block, 30000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().first().toString();
#else
    Q_UNUSED(device);
    return {};
#endif
}

IDiscMounter& systemDiscMounter()
{
    static UDisksMounter mounter;
    return mounter;
}
