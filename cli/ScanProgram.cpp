#include "cli/ScanProgram.h"

#include <QCoreApplication>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace
{
char** arguments = nullptr;
}

namespace ScanProgram
{
void keepArguments(char** argv)
{
    arguments = argv;
}

int run()
{
    const QByteArray path =
        QFile::encodeName(QCoreApplication::applicationDirPath() + QStringLiteral("/tessaro-cli-scan"));
    std::fflush(stdout);
    if (arguments)
        ::execv(path.constData(), arguments);
    std::fprintf(stderr, "tessaro-cli: Unable to start %s: %s\n", path.constData(), std::strerror(errno));
    return 1;
}
} // namespace ScanProgram
