#include "scan/CdioUdfTree.h"

#include "common/TessaroError.h"
#include "scan/ArchiveLister.h"
#include "scan/FileNameText.h"

#include <QFile>
#include <QStringDecoder>
#include <cdio/logging.h>
#include <cdio/udf.h>
#include <mutex>
#include <set>
#include <vector>

namespace
{
[[noreturn]] void fail(const QString& image, const QString& reason)
{
    throw TessaroError(QStringLiteral("Cannot read the disc image %1: %2").arg(image, reason));
}

// Frees a directory that was left before its end (udf_readdir frees it on reaching the end).
struct UdfDirGuard {
    udf_dirent_t* dir;
    ~UdfDirGuard()
    {
        if (dir)
            udf_dirent_free(dir);
    }
};

// libudf hands out 16-bit names as UTF-8 and 8-bit ones as their Latin-1 bytes.
QString udfName(const char* raw)
{
    if (!raw)
        return {};
    const QByteArrayView bytes(raw);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString name = utf8(bytes);
    return nameWithoutSeparator(utf8.hasError() ? QString::fromLatin1(bytes) : name);
}

cdio_log_handler_t libraryLogHandler = nullptr;

// libcdio's own handler ends the process on any logged error, which a damaged image (or a
// cue sheet beside a track, which libcdio reads on its own) can cause: a bad image must only
// fail its own reading. Assertions still go to the library.
void quietLog(cdio_log_level_t level, const char message[])
{
    if (level == CDIO_LOG_ASSERT && libraryLogHandler)
        libraryLogHandler(level, message);
}
} // namespace

void CdioUdfTree::quietenLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { libraryLogHandler = cdio_log_set_handler(quietLog); });
}

std::unique_ptr<CdioUdfTree> CdioUdfTree::open(const QString& image)
{
    quietenLibrary();
    udf_t* udf = udf_open(QFile::encodeName(image).constData());
    if (!udf)
        return nullptr;
    udf_dirent_t* root = udf_get_root(udf, true, 0);
    if (!root) {
        udf_close(udf);
        return nullptr;
    }
    return std::unique_ptr<CdioUdfTree>(new CdioUdfTree(image, udf, root));
}

CdioUdfTree::CdioUdfTree(const QString& image, udf_s* udf, udf_dirent_s* root)
    : image_(image), udf_(udf), root_(root)
{
}

CdioUdfTree::~CdioUdfTree()
{
    if (root_)
        udf_dirent_free(root_);
    udf_close(udf_);
}

bool CdioUdfTree::read(ListedFiles& out, const ImageReading& how, ImageTally& tally)
{
    struct Level {
        std::unique_ptr<UdfDirGuard> guard;
        QString path;
    };
    std::vector<Level> stack;
    stack.push_back(Level{std::unique_ptr<UdfDirGuard>(new UdfDirGuard{root_}), QStringLiteral("\\")});
    root_ = nullptr;
    tally.folders.push_back(QStringLiteral("\\"));
    std::set<quint32> folders;
    // Depth first in directory order, with an explicit stack so deep images cannot exhaust the call stack.
    while (!stack.empty()) {
        if (how.stop())
            return false;
        Level& level = stack.back();
        udf_dirent_t* entry = udf_readdir(level.guard->dir);
        if (!entry) {
            // udf_readdir has freed the directory at its end.
            level.guard->dir = nullptr;
            stack.pop_back();
            continue;
        }
        const QString name = udfName(udf_get_filename(entry));
        if (udf_is_dir(entry)) {
            // The parent's entry has an empty name.
            if (name.isEmpty() || (name.startsWith(QLatin1Char('.')) && !how.dotFolders))
                continue;
            QString path = level.path + name + QLatin1Char('\\');
            // UDF records each folder once; one pointing back above itself would loop for ever.
            if (entry->fid && !folders.insert(entry->fid->icb.loc.lba).second)
                fail(image_, QStringLiteral("the folder %1 is recorded more than once").arg(path));
            udf_dirent_t* sub = udf_opendir(entry);
            if (!sub)
                fail(image_, QStringLiteral("cannot read the folder %1").arg(path));
            tally.folders.push_back(path);
            stack.push_back(Level{std::unique_ptr<UdfDirGuard>(new UdfDirGuard{sub}), std::move(path)});
            continue;
        }
        ListedFile file;
        file.path = level.path;
        file.name = name;
        file.size = qint64(udf_get_file_length(entry));
        file.modified = qint64(udf_get_modification_time(entry));
        if (how.archives && ArchiveLister::isArchiveName(name))
            tally.unlisted.push_back(
                {file.path + name, QStringLiteral("archives on UDF read by libudf are not opened")});
        out.push_back(std::move(file));
    }
    return true;
}
