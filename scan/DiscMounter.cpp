#include "scan/DiscMounter.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QEventLoop>
#include <QFileInfo>
#include <QThread>
#include <QTimer>
#include <QVariantMap>

namespace
{
// A disc spins up slowly; give it time, but never wait for good.
constexpr int kMountTimeout = 30000;

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
    error_.clear();
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        error_ = QStringLiteral("no system bus");
        return {};
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.UDisks2"), objectPath(device),
        QStringLiteral("org.freedesktop.UDisks2.Filesystem"), QStringLiteral("Mount"));
    QVariantMap options;
    options.insert(QStringLiteral("auth.no_user_interaction"), true);
    call << options;
    QDBusMessage reply;
    const QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        reply = bus.call(call, QDBus::Block, kMountTimeout);
    } else {
        QDBusPendingCallWatcher pending(bus.asyncCall(call, kMountTimeout));
        QEventLoop wait;
        bool stopped = false;
        QObject::connect(&pending, &QDBusPendingCallWatcher::finished, &wait, &QEventLoop::quit);
        stop_ = [&] {
            stopped = true;
            wait.quit();
        };
        if (OnWaiting)
            OnWaiting(true);
        if (!pending.isFinished())
            wait.exec();
        stop_ = nullptr;
        if (OnWaiting)
            OnWaiting(false);
        // A stopped mount may still finish in the service; the disc is then mounted, unread.
        if (stopped)
            return {};
        reply = pending.reply();
    }
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        error_ = reply.errorMessage();
        return {};
    }
    return reply.arguments().first().toString();
}

void UDisksMounter::stop()
{
    if (stop_)
        stop_();
}

IDiscMounter& systemDiscMounter()
{
    static UDisksMounter mounter;
    return mounter;
}
