#pragma once

// tessaro-cli-scan, the command line with the drive and disc readers, which tessaro-cli hands
// the commands that need them (see cli/CMakeLists.txt).
namespace ScanProgram
{
// The program's own arguments, handed on as they came (bytes, not decoded text).
void keepArguments(char** argv);
// Replaces this process with tessaro-cli-scan beside the executable, with the same arguments;
// returns only when it cannot start, with the exit status after saying why.
int run();
} // namespace ScanProgram
