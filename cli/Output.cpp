#include "cli/Output.h"

#include "common/TessaroError.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdio_ext.h>

namespace
{
[[noreturn]] void fail(int error)
{
    // What is still buffered can never arrive: the exit must not try to write it once more.
    __fpurge(stdout);
    if (error == EPIPE)
        throw Output::Closed();
    QString text = QStringLiteral("Unable to write the output");
    if (error != 0)
        text += QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
    throw TessaroError(text);
}
} // namespace

namespace Output
{
void write(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    errno = 0;
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size()))
        fail(errno);
}

void line(const QString& text)
{
    write(text + QLatin1Char('\n'));
}

void finish()
{
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        fail(errno);
}
} // namespace Output
