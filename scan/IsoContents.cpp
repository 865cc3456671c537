#include "scan/IsoContents.h"

#include "common/TessaroError.h"
#include "scan/ArchiveLister.h"
#include "scan/SectorFile.h"
#include "scan/SectorStream.h"

#include <archive.h>
#include <archive_entry.h>
#include <memory>

namespace IsoContents
{
qint64 volumeBytes(const SectorFile& sectors)
{
    unsigned char pvd[SectorFile::kSector];
    if (!sectors.readSector(16, pvd))
        return 0;
    const qint64 blocks =
        qint64(pvd[80]) | qint64(pvd[81]) << 8 | qint64(pvd[82]) << 16 | qint64(pvd[83]) << 24;
    const qint64 blockSize = qint64(pvd[128]) | qint64(pvd[129]) << 8;
    return blocks * blockSize;
}

bool read(const QString& image, const SectorFile& sectors, const ImageReading& how,
          const ImageContent& content)
{
    const auto fail = [&image](archive* a) {
        throw TessaroError(QStringLiteral("Cannot read the disc image %1: %2")
                               .arg(image, QString::fromLocal8Bit(archive_error_string(a))));
    };
    SectorStream stream(sectors, volumeBytes(sectors), true);
    std::unique_ptr<archive, int (*)(archive*)> a(archive_read_new(), archive_read_free);
    archive_read_support_format_iso9660(a.get());
    stream.attach(a.get());
    if (archive_read_open1(a.get()) != ARCHIVE_OK)
        fail(a.get());
    std::unique_ptr<char[]> buffer(new char[1 << 16]);
    archive_entry* entry = nullptr;
    for (;;) {
        if (how.stop())
            return false;
        const int status = archive_read_next_header(a.get(), &entry);
        if (status == ARCHIVE_EOF)
            return true;
        if (status < ARCHIVE_WARN)
            fail(a.get());
        // A hard link's data comes once, with the name it has first; the other names have none.
        if (archive_entry_filetype(entry) != AE_IFREG || archive_entry_hardlink(entry))
            continue;
        const QStringList names = ArchiveLister::entryPathNames(entry);
        if (names.isEmpty())
            continue;
        QString path = QStringLiteral("\\");
        for (qsizetype i = 0; i + 1 < names.size(); ++i)
            path += names.at(i) + QLatin1Char('\\');
        const qint64 size = qint64(archive_entry_size(entry));
        if (!content.wanted(path, names.last(), size))
            continue;
        // The data starts where libarchive stands after the header: it seeks there first.
        const qint64 start = archive_filter_bytes(a.get(), -1);
        qint64 total = 0;
        QString failure;
        for (;;) {
            const la_ssize_t got = archive_read_data(a.get(), buffer.get(), 1 << 16);
            if (got < 0) {
                failure = QString::fromLocal8Bit(archive_error_string(a.get()));
                break;
            }
            if (got == 0)
                break;
            content.bytes(buffer.get(), qint64(got));
            total += got;
            if (how.stop())
                return false;
        }
        // Zeros stood in for what the image could not give: the file was read as far as the
        // first of them.
        QString why;
        const qint64 gap = stream.firstGap(start, archive_filter_bytes(a.get(), -1), &why);
        const qint64 readTo = archive_filter_bytes(a.get(), -1);
        if (gap < readTo)
            content.end(std::min(total, gap - start), why);
        else
            content.end(total, failure);
        if (!failure.isEmpty())
            fail(a.get());
    }
}
} // namespace IsoContents
