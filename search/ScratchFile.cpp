#include "search/ScratchFile.h"

#include <QFile>
#include <fcntl.h>
#include <unistd.h>

ScratchFile::ScratchFile(const QString& extension) : name_(QStringLiteral("app.") + extension)
{
    if (extension.contains(QLatin1Char('/')) || extension.contains(QChar(0)))
        return;
    const QByteArray path = QFile::encodeName(name_);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    ::close(fd);
    created_ = true;
}

ScratchFile::~ScratchFile()
{
    if (created_)
        ::unlink(QFile::encodeName(name_).constData());
}
