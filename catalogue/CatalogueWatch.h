#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

class Connection;

// Tells when another process (a second window, tessaro-cli) has committed a change to the
// catalogue, without polling. The file system says when the catalogue's files change; SQLite's
// data_version, which only the commits of other connections move, says whether the catalogue
// did: one cheap statement, whatever the catalogue's size. The connection's own changes never
// count.
class CatalogueWatch : public QObject
{
    Q_OBJECT
  public:
    explicit CatalogueWatch(Connection& connection, QObject* parent = nullptr);

    // Watches the connected catalogue's files from now on.
    void start();
    // Emits changed() when another connection has committed since the last look. Nothing
    // while this connection is inside a transaction of its own.
    void check();

  Q_SIGNALS:
    void changed();

  private:
    void watchFiles();
    qint64 stamp();

    Connection& connection_;
    QFileSystemWatcher files_;
    // A commit writes in several steps: one look once they have settled.
    QTimer settle_;
    qint64 stamp_ = -1;
};
