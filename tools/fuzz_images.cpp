// libFuzzer target: arbitrary bytes through the disc image readers (ISO 9660 with Rock Ridge and
// Joliet, UDF through both libraries, a cue sheet's raw or plain track) with archives listed, and
// through the archive lister alone. The first byte picks the reader:
//   0: the rest is an image file;  1, 2: the rest is the track of a cue sheet (MODE1/2048,
//   MODE1/2352);  3: the rest is an archive, listed from its file and from memory, as an archive
//   on an image is, which must give the same members or refuse it both ways.
// The one error allowed is the readers' own TessaroError; any other exception, a difference
// between the two listings, a name that could split a folder, a crash, a hang or a sanitizer
// report is a finding.
//
// Built and run by tools/fuzz.
#include "common/TessaroError.h"
#include "scan/ArchiveLister.h"
#include "scan/DiscImage.h"

#include <QByteArray>
#include <QFile>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace
{
// What the run tried, printed when it ends.
struct Tally {
    long long images = 0, imagesRead = 0, archives = 0, archivesListed = 0, files = 0;
} tally;

// Small limits: a fuzzed archive may declare anything.
ArchiveLimits limits()
{
    ArchiveLimits l;
    l.members = 2000;
    l.milliseconds = 20000;
    l.bytesInMemory = qint64(8) << 20;
    l.bytesUnpacked = qint64(8) << 20;
    return l;
}

const QString& folder()
{
    static const QString path = [] {
        char name[] = "/tmp/tessaro-fuzz-images-XXXXXX";
        if (!mkdtemp(name))
            std::abort();
        return QString::fromLocal8Bit(name);
    }();
    return path;
}

void writeFile(const QString& path, const uint8_t* data, size_t size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
        std::abort();
}

[[noreturn]] void finding(const char* what, const QString& detail)
{
    std::fprintf(stderr, "finding: %s: %s\n", what, qPrintable(detail));
    std::abort();
}

// Every listed file has a drive-relative folder ("\" ... "\") and a name that holds no "\".
void checkNames(const ListedFiles& files)
{
    for (const ListedFile& f : files) {
        if (!f.path.startsWith(QLatin1Char('\\')) || !f.path.endsWith(QLatin1Char('\\')) ||
            f.path.contains(QStringLiteral("\\\\")))
            finding("bad folder", f.path);
        if (f.name.isEmpty() || f.name.contains(QLatin1Char('\\')))
            finding("bad name", f.path + f.name);
    }
}

void readImage(const QString& path, bool dotFolders)
{
    ++tally.images;
    const ArchiveLister lister(limits());
    ImageReading how;
    how.archives = &lister;
    how.dotFolders = dotFolders;
    try {
        const DiscImage disc(path, how);
        checkNames(disc.files());
        tally.files += qint64(disc.files().size());
        ++tally.imagesRead;
    } catch (const TessaroError&) {
    }
    // The bytes of every file, going on past damage as verifying does: each file offered is
    // ended once, having read no more than its size.
    ImageContent content;
    qint64 size = 0, read = 0;
    bool open = false;
    content.wanted = [&](const QString& folder, const QString& name, qint64 bytes) {
        if (open)
            finding("file not ended", folder + name);
        open = true;
        size = bytes;
        read = 0;
        return true;
    };
    content.bytes = [&](const char*, qint64 bytes) { read += bytes; };
    content.end = [&](qint64 got, const QString&) {
        if (!open || got > read || got > size)
            finding("bytes beyond the file", QString::number(read));
        open = false;
    };
    try {
        (void)DiscImage::readContents(path, how, content);
    } catch (const TessaroError&) {
    }
    (void)DiscImage::readLabel(path);
}

QStringList rows(const ListedFiles& files)
{
    QStringList out;
    for (const ListedFile& f : files)
        out << QStringLiteral("%1%2 %3 %4").arg(f.path, f.name).arg(f.size).arg(f.modified);
    return out;
}

void listArchive(const QString& path, const uint8_t* data, size_t size)
{
    ++tally.archives;
    const ArchiveLister lister(limits());
    ListedFiles fromFile, fromMemory;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        std::abort();
    const bool listedFromFile = lister.list(fd, QStringLiteral("\\a.tar\\"), fromFile);
    ::close(fd);
    size_t at = 0;
    const ArchiveLister::Reader reader = [&](char* buffer, qint64 want) -> qint64 {
        const size_t take = std::min<size_t>(size_t(want), size - at);
        std::memcpy(buffer, data + at, take);
        at += take;
        return qint64(take);
    };
    const bool listedFromMemory = lister.list(reader, QStringLiteral("\\a.tar\\"), fromMemory);
    if (listedFromFile != listedFromMemory || rows(fromFile) != rows(fromMemory))
        finding("the file and memory listings differ",
                QStringLiteral("%1 (%2 members) from the file, %3 (%4) from memory")
                    .arg(listedFromFile)
                    .arg(fromFile.size())
                    .arg(listedFromMemory)
                    .arg(fromMemory.size()));
    checkNames(fromFile);
    tally.archivesListed += listedFromFile;
    tally.files += qint64(fromFile.size());
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Made before the handler is registered, so that it is destroyed after the handler ran.
    folder();
    std::atexit([] {
        std::fprintf(stderr,
                     "fuzz: %lld images (%lld read), %lld archives (%lld listed), %lld files listed\n",
                     tally.images, tally.imagesRead, tally.archives, tally.archivesListed, tally.files);
        const QString dir = folder();
        for (const char* name : {"/image", "/track.bin", "/disc.cue", "/archive"})
            QFile::remove(dir + QLatin1String(name));
        ::rmdir(QFile::encodeName(dir).constData());
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int mode = data[0] & 3;
    const bool dotFolders = data[0] & 4;
    const QString dir = folder();
    switch (mode) {
    case 0:
        writeFile(dir + QStringLiteral("/image"), data + 1, size - 1);
        readImage(dir + QStringLiteral("/image"), dotFolders);
        break;
    case 1:
    case 2: {
        const QByteArray cue = QByteArray("FILE \"track.bin\" BINARY\n  TRACK 01 ") +
                               (mode == 1 ? "MODE1/2048" : "MODE1/2352") + "\n    INDEX 01 00:00:00\n";
        writeFile(dir + QStringLiteral("/disc.cue"), reinterpret_cast<const uint8_t*>(cue.constData()),
                  size_t(cue.size()));
        writeFile(dir + QStringLiteral("/track.bin"), data + 1, size - 1);
        readImage(dir + QStringLiteral("/disc.cue"), dotFolders);
        break;
    }
    default:
        writeFile(dir + QStringLiteral("/archive"), data + 1, size - 1);
        listArchive(dir + QStringLiteral("/archive"), data + 1, size - 1);
        break;
    }
    return 0;
}
