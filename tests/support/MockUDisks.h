#pragma once

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QTest>
#include <memory>

// A private D-Bus bus started for the test, with a mock UDisks2 on it (support/udisks2_mock.py
// through python3-dbusmock). The bus is this process's system bus, and its children's: it must
// be made before anything in the process touches the system bus. ok() false, with the reason in
// error(), when the bus or the mock cannot start: the test fails with it, never passes quietly.
class MockUDisks
{
  public:
    MockUDisks()
    {
        bus_.setProgram(QStringLiteral("dbus-daemon"));
        bus_.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"),
                           QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
        bus_.start();
        if (!bus_.waitForStarted(10000)) {
            error_ = QStringLiteral("cannot start dbus-daemon: ") + bus_.errorString();
            return;
        }
        QElapsedTimer waited;
        waited.start();
        while (!bus_.canReadLine() && waited.elapsed() < 10000)
            bus_.waitForReadyRead(100);
        address_ = QString::fromUtf8(bus_.readLine()).trimmed();
        if (address_.isEmpty()) {
            error_ = QStringLiteral("dbus-daemon gave no address: ") +
                     QString::fromUtf8(bus_.readAllStandardError());
            return;
        }
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address_.toUtf8());
        control_ = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(address_, QStringLiteral("tessaro-mock-udisks2")));
        if (!control_->isConnected())
            error_ = QStringLiteral("cannot connect to the test bus: ") + control_->lastError().message();
    }

    ~MockUDisks()
    {
        stopService();
        control_.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("tessaro-mock-udisks2"));
        bus_.kill();
        bus_.waitForFinished(5000);
    }

    bool ok() const { return error_.isEmpty(); }
    const QString& error() const { return error_; }
    const QString& address() const { return address_; }

    // Starts the service with the template's parameters (JSON) and waits until it owns its name.
    bool startService(const QString& parameters = QStringLiteral("{}"))
    {
        if (!ok())
            return false;
        service_.setProgram(QStringLiteral("/usr/bin/python3"));
        service_.setArguments({QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--template"),
                               QStringLiteral(TESSARO_TEST_SUPPORT_DIR "/udisks2_mock.py"),
                               QStringLiteral("-p"), parameters});
        service_.setProcessChannelMode(QProcess::MergedChannels);
        service_.start();
        if (!service_.waitForStarted(10000)) {
            error_ = QStringLiteral("cannot start the mock UDisks2: ") + service_.errorString();
            return false;
        }
        QElapsedTimer waited;
        waited.start();
        while (!control_->interface()->isServiceRegistered(QStringLiteral("org.freedesktop.UDisks2"))) {
            if (service_.state() == QProcess::NotRunning || waited.elapsed() > 20000) {
                service_.kill();
                service_.waitForFinished(5000);
                error_ = QStringLiteral("the mock UDisks2 did not start (python3-dbusmock installed?): ") +
                         QString::fromUtf8(service_.readAll()).trimmed();
                return false;
            }
            QTest::qWait(50);
        }
        return true;
    }

    // Ends the service, as when UDisks2 is restarted or crashes.
    void stopService()
    {
        if (service_.state() == QProcess::NotRunning)
            return;
        service_.terminate();
        if (!service_.waitForFinished(5000)) {
            service_.kill();
            service_.waitForFinished(5000);
        }
    }

    // name such as "sr0" (optical) or "sdb1"; an empty mount point makes Mount fail, one
    // beginning with "slow:" answers after 3 s.
    bool insert(const QString& name, const QString& label, const QString& uuid, bool optical,
                const QString& mountPoint = {})
    {
        return call(QStringLiteral("InsertMedium"), {name, label, uuid, optical, mountPoint});
    }
    bool remove(const QString& name) { return call(QStringLiteral("RemoveMedium"), {name}); }
    // Mounts the medium as a desktop's automounter does, through the service's own Mount.
    bool mount(const QString& name)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.UDisks2"),
            QStringLiteral("/org/freedesktop/UDisks2/block_devices/") + name,
            QStringLiteral("org.freedesktop.UDisks2.Filesystem"), QStringLiteral("Mount"));
        message.setArguments({QVariantMap()});
        return check(QStringLiteral("Mount"), control_->call(message, QDBus::Block, 10000));
    }

  private:
    bool call(const QString& method, const QVariantList& args)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.UDisks2"), QStringLiteral("/org/freedesktop/UDisks2"),
            QStringLiteral("org.freedesktop.DBus.Mock"), method);
        message.setArguments(args);
        return check(method, control_->call(message, QDBus::Block, 10000));
    }

    bool check(const QString& method, const QDBusMessage& reply)
    {
        if (reply.type() == QDBusMessage::ReplyMessage)
            return true;
        error_ = method + QStringLiteral(": ") + reply.errorMessage();
        return false;
    }

    QProcess bus_;
    QProcess service_;
    QString address_;
    QString error_;
    std::unique_ptr<QDBusConnection> control_;
};
