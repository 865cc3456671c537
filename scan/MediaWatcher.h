#pragma once

#include "scan/MediumSet.h"

#include <QObject>
#include <QString>

class QDBusMessage;
class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

// Follows UDisks2 on the system bus (or the bus at $DBUS_SYSTEM_BUS_ADDRESS) and tells which
// media appear and go: its object manager's InterfacesAdded and InterfacesRemoved, and
// PropertiesChanged of its objects (an optical drive's block device changes its properties
// when a disc goes in). Nothing is polled. While the service is away its media are kept; when
// it is back its objects are read afresh and only what differs is told.
class MediaWatcher : public QObject
{
    Q_OBJECT
  public:
    explicit MediaWatcher(QObject* parent = nullptr);
    ~MediaWatcher() override;

    // Connects to the bus and, when the service is there, reads its objects. False, with the
    // reason in error(), when the bus cannot be reached; a missing service is waited for.
    bool start();
    QString error() const { return error_; }
    // Whether the service answered and has not gone away since.
    bool serviceUp() const { return up_; }
    // Known now, by object path.
    const std::map<QString, Medium>& media() const { return set_.media(); }

  Q_SIGNALS:
    void appeared(const Medium& medium);
    void gone(const Medium& medium);
    // Mounted or unmounted: where its files can be read changed.
    void mountChanged(const Medium& medium);
    // The service came or went; media are kept meanwhile.
    void serviceChanged(bool up);
    // The first reading of the objects after a start or a return of the service is in.
    void synchronised();

  private Q_SLOTS:
    void onInterfacesAdded(const QDBusMessage& message);
    void onInterfacesRemoved(const QDBusMessage& message);
    void onPropertiesChanged(const QDBusMessage& message);

  private:
    void readObjects();
    void objectsRead(QDBusPendingCallWatcher* call);
    void serviceCame();
    void serviceWent();
    void tell(const std::vector<MediumSet::Event>& events);

    MediumSet set_;
    QDBusServiceWatcher* serviceWatcher_ = nullptr;
    QString error_;
    bool up_ = false;
    // While the objects are being read, signals are left out: the service sends its answer after
    // every signal it sent before, so the answer already holds what they tell (a restarting
    // service announces its objects one by one, in states that were never the medium's).
    bool reading_ = false;
    // Answers to an earlier reading are dropped when the service went away meanwhile.
    quint64 generation_ = 0;
};
