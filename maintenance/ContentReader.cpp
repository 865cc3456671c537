#include "maintenance/ContentReader.h"

#include "common/TessaroError.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <xxhash.h>

namespace
{
// Large reads keep system calls few; the kernel's read-ahead, told the file is read once from
// start to end, keeps the drive busy meanwhile.
constexpr size_t kBufferSize = size_t(1) << 20;

QByteArray canonical(XXH128_hash_t hash)
{
    XXH128_canonical_t bytes;
    XXH128_canonicalFromHash(&bytes, hash);
    return QByteArray(reinterpret_cast<const char*>(bytes.digest), sizeof bytes.digest);
}

struct Descriptor {
    int fd;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};
} // namespace

QString ContentReader::Result::reason() const
{
    return error == 0 ? failure : QString::fromLocal8Bit(std::strerror(error));
}

void ContentReader::FreeState::operator()(XXH3_state_s* state) const
{
    XXH3_freeState(state);
}

ContentReader::ContentReader() : state_(XXH3_createState()), buffer_(new char[kBufferSize])
{
    if (!state_)
        throw TessaroError(QStringLiteral("Out of memory"));
}

ContentReader::~ContentReader() = default;

ContentReader::Result ContentReader::read(int folderFd, const char* name)
{
    const Descriptor file{::openat(folderFd, name, O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC)};
    if (file.fd < 0) {
        Result failed;
        failed.error = errno;
        return failed;
    }
    return readOpen(file.fd);
}

ContentReader::Result ContentReader::readOpen(int fd)
{
    Result result;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    XXH3_128bits_reset(state_.get());
    for (;;) {
        const ssize_t got = ::read(fd, buffer_.get(), kBufferSize);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            result.error = errno;
            return result;
        }
        if (got == 0)
            break;
        XXH3_128bits_update(state_.get(), buffer_.get(), size_t(got));
        result.bytesRead += got;
        if (going && !going()) {
            result.failure = QStringLiteral("stopped");
            return result;
        }
    }
    result.complete = true;
    result.hash = canonical(XXH3_128bits_digest(state_.get()));
    return result;
}

void ContentReader::start()
{
    XXH3_128bits_reset(state_.get());
}

void ContentReader::add(const char* bytes, qint64 size)
{
    XXH3_128bits_update(state_.get(), bytes, size_t(size));
}

ContentReader::Result ContentReader::finish(qint64 bytesRead, const QString& failure)
{
    Result result;
    result.bytesRead = bytesRead;
    result.failure = failure;
    result.complete = failure.isEmpty();
    if (result.complete)
        result.hash = canonical(XXH3_128bits_digest(state_.get()));
    return result;
}

QByteArray ContentReader::hashOf(QByteArrayView bytes)
{
    return canonical(XXH3_128bits(bytes.data(), size_t(bytes.size())));
}
