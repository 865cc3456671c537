// In tessaro-cli, the commands that read drives and discs run in tessaro-cli-scan.
#include "cli/Commands.h"
#include "cli/ScanProgram.h"

int cmdAdd(const CliContext&)
{
    return ScanProgram::run();
}

int cmdDrives(const CliContext&)
{
    return ScanProgram::run();
}

int cmdHash(const CliContext&)
{
    return ScanProgram::run();
}

int cmdVerify(const CliContext&)
{
    return ScanProgram::run();
}

int cmdUpdate(const CliContext&)
{
    return ScanProgram::run();
}

int cmdWatch(const CliContext&)
{
    return ScanProgram::run();
}
