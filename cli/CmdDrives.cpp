#include "cli/Commands.h"
#include "cli/FieldText.h"
#include "cli/Output.h"
#include "common/TessaroError.h"
#include "scan/DriveTable.h"
#include "settings/DriveSetting.h"

int cmdDrives(const CliContext& context)
{
    if (!context.args.isEmpty())
        throw TessaroError(QStringLiteral("drives takes no arguments"));
    const DriveTable table = DriveSetting(context.settingsPath).driveTable();
    for (const DriveEntry& drive : table.drives()) {
        Output::line(QStringList{fieldText(QString(drive.letter)), driveKindName(drive.kind),
                                 fieldText(drive.root), fieldText(drive.label)}
                         .join(QLatin1Char('\t')));
    }
    return 0;
}
