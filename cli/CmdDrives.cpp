#include "cli/Commands.h"
#include "common/TessaroError.h"
#include "scan/DriveTable.h"
#include "settings/DriveSetting.h"

#include <cstdio>

int cmdDrives(const CliContext& context)
{
    if (!context.args.isEmpty())
        throw TessaroError(QStringLiteral("drives takes no arguments"));
    const DriveTable table = DriveSetting().driveTable();
    for (const DriveEntry& drive : table.drives()) {
        const QString line =
            QStringList{QString(drive.letter), driveKindName(drive.kind), drive.root, drive.label}.join(
                QLatin1Char('\t'));
        std::printf("%s\n", line.toLocal8Bit().constData());
    }
    return 0;
}
