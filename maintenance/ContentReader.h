#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <memory>

struct XXH3_state_s;

// Reads files to their end in large pieces and hashes their content with 128-bit XXH3. One
// reader keeps its buffer and hash state from file to file.
class ContentReader
{
  public:
    struct Result {
        bool complete = false;  // read to its end without an error
        QByteArray hash;        // 16 bytes, most significant first; empty unless complete
        qint64 bytesRead = 0;   // how far it got
        int error = 0;          // errno of the failure, 0 when none
        QString failure;        // why it stopped short when no errno says it ("cut short")
        QString reason() const; // the system's text of the error, else the failure
    };

    ContentReader();
    ~ContentReader();
    ContentReader(const ContentReader&) = delete;
    ContentReader& operator=(const ContentReader&) = delete;

    // Asked after each megabyte read: false ends the reading of a file there, as a failure
    // ("stopped"), so that a stop need not wait for the end of a big file on a slow disc.
    std::function<bool()> going;

    // The file `name` in the folder open as `folderFd` (never following a link).
    Result read(int folderFd, const char* name);
    // An open descriptor, from where it stands; the descriptor stays open.
    Result readOpen(int fd);

    // The same for bytes handed in piece by piece (a file read from a disc image): start(), add()
    // for each piece, then finish() with how far the reading got and why it stopped short
    // (empty when it read the file whole).
    void start();
    void add(const char* bytes, qint64 size);
    Result finish(qint64 bytesRead, const QString& failure);

    // The hash of bytes in memory, as read() gives it for a file holding them.
    static QByteArray hashOf(QByteArrayView bytes);

  private:
    struct FreeState {
        void operator()(XXH3_state_s* state) const;
    };
    std::unique_ptr<XXH3_state_s, FreeState> state_;
    std::unique_ptr<char[]> buffer_;
};
