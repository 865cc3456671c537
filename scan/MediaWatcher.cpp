#include "scan/MediaWatcher.h"

#include <QByteArrayList>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

namespace
{
const QString kService = QStringLiteral("org.freedesktop.UDisks2");
const QString kRoot = QStringLiteral("/org/freedesktop/UDisks2");
const QString kObjectManager = QStringLiteral("org.freedesktop.DBus.ObjectManager");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

// The values as plain Qt types, so that MediumSet needs nothing of the bus.
QVariant plain(const QVariant& value)
{
    if (value.metaType() == QMetaType::fromType<QDBusVariant>())
        return plain(value.value<QDBusVariant>().variant());
    if (value.metaType() == QMetaType::fromType<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    if (value.metaType() == QMetaType::fromType<QDBusArgument>()) {
        const QDBusArgument argument = value.value<QDBusArgument>();
        if (argument.currentSignature() == QLatin1String("aay")) {
            QByteArrayList list;
            argument >> list;
            return QVariant::fromValue(list);
        }
        if (argument.currentSignature() == QLatin1String("ay")) {
            QByteArray bytes;
            argument >> bytes;
            return bytes;
        }
    }
    return value;
}

QVariantMap plainMap(const QVariantMap& properties)
{
    QVariantMap out;
    for (auto it = properties.begin(); it != properties.end(); ++it)
        out.insert(it.key(), plain(it.value()));
    return out;
}

MediumSet::Interfaces interfacesOf(const QDBusArgument& argument)
{
    MediumSet::Interfaces interfaces;
    argument.beginMap();
    while (!argument.atEnd()) {
        QString name;
        QVariantMap properties;
        argument.beginMapEntry();
        argument >> name >> properties;
        argument.endMapEntry();
        interfaces[name] = plainMap(properties);
    }
    argument.endMap();
    return interfaces;
}

QString objectOf(const QVariant& value)
{
    return value.value<QDBusObjectPath>().path();
}
} // namespace

MediaWatcher::MediaWatcher(QObject* parent) : QObject(parent) {}

MediaWatcher::~MediaWatcher() = default;

bool MediaWatcher::start()
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        error_ = bus.lastError().message();
        if (error_.isEmpty())
            error_ = QStringLiteral("no system bus");
        return false;
    }
    // Signals first, then the reading: nothing that happens in between is missed.
    bus.connect(kService, kRoot, kObjectManager, QStringLiteral("InterfacesAdded"), this,
                SLOT(onInterfacesAdded(QDBusMessage)));
    bus.connect(kService, kRoot, kObjectManager, QStringLiteral("InterfacesRemoved"), this,
                SLOT(onInterfacesRemoved(QDBusMessage)));
    bus.connect(kService, QString(), kProperties, QStringLiteral("PropertiesChanged"), this,
                SLOT(onPropertiesChanged(QDBusMessage)));
    serviceWatcher_ = new QDBusServiceWatcher(kService, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(serviceWatcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                if (newOwner.isEmpty())
                    serviceWent();
                else
                    serviceCame();
            });
    readObjects();
    return true;
}

void MediaWatcher::readObjects()
{
    reading_ = true;
    const QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kRoot, kObjectManager, QStringLiteral("GetManagedObjects"));
    auto* pending = new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, generation = generation_](auto* call) {
        call->deleteLater();
        if (generation == generation_)
            objectsRead(call);
    });
}

void MediaWatcher::objectsRead(QDBusPendingCallWatcher* call)
{
    const QDBusMessage reply = call->reply();
    reading_ = false;
    // No service yet: its arrival is waited for.
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return;
    std::map<QString, MediumSet::Interfaces> objects;
    const QDBusArgument argument = reply.arguments().first().value<QDBusArgument>();
    argument.beginMap();
    while (!argument.atEnd()) {
        QDBusObjectPath path;
        argument.beginMapEntry();
        argument >> path;
        objects[path.path()] = interfacesOf(argument);
        argument.endMapEntry();
    }
    argument.endMap();
    if (!up_) {
        up_ = true;
        Q_EMIT serviceChanged(true);
    }
    tell(set_.reset(objects));
    Q_EMIT synchronised();
}

void MediaWatcher::serviceCame()
{
    ++generation_;
    readObjects();
}

void MediaWatcher::serviceWent()
{
    // The media stay as they were: a restarted service must not look like every disc taken out.
    ++generation_;
    if (up_) {
        up_ = false;
        Q_EMIT serviceChanged(false);
    }
}

void MediaWatcher::onInterfacesAdded(const QDBusMessage& message)
{
    if (reading_)
        return;
    const QList<QVariant> args = message.arguments();
    if (args.size() < 2)
        return;
    tell(set_.addInterfaces(objectOf(args.at(0)), interfacesOf(args.at(1).value<QDBusArgument>())));
}

void MediaWatcher::onInterfacesRemoved(const QDBusMessage& message)
{
    if (reading_)
        return;
    const QList<QVariant> args = message.arguments();
    if (args.size() < 2)
        return;
    tell(set_.removeInterfaces(objectOf(args.at(0)), args.at(1).toStringList()));
}

void MediaWatcher::onPropertiesChanged(const QDBusMessage& message)
{
    if (reading_)
        return;
    const QList<QVariant> args = message.arguments();
    if (args.size() < 3 || !message.path().startsWith(kRoot + QLatin1Char('/')))
        return;
    QVariantMap changed;
    args.at(1).value<QDBusArgument>() >> changed;
    tell(set_.changeProperties(message.path(), args.at(0).toString(), plainMap(changed),
                               args.at(2).toStringList()));
}

void MediaWatcher::tell(const std::vector<MediumSet::Event>& events)
{
    for (const MediumSet::Event& event : events) {
        switch (event.change) {
        case MediumSet::Change::Appeared:
            Q_EMIT appeared(event.medium);
            break;
        case MediumSet::Change::Gone:
            Q_EMIT gone(event.medium);
            break;
        case MediumSet::Change::MountChanged:
            Q_EMIT mountChanged(event.medium);
            break;
        }
    }
}
