#include "app/ui/DiscUpdateAction.h"

#include "app/ui/SystemDiscDrive.h"
#include "app/ui/WindowChrome.h"
#include "maintenance/ui/DiscUpdateWindow.h"
#include "settings/DotFolderSetting.h"

std::function<bool(const DiscStore::DiscRow&)> discUpdateAction(Catalogue& catalogue, IMessages& messages,
                                                                SystemDiscDrive& drive, QWidget* parent,
                                                                std::function<void()> updated, QChar seenIn)
{
    return [&catalogue, &messages, &drive, parent, updated = std::move(updated),
            seenIn](const DiscStore::DiscRow& disc) {
        DiscUpdateWindow window(
            catalogue, messages, drive,
            [&drive, seenIn] { return seenIn.isNull() ? drive.setting().ReadDriveSetting() : seenIn; },
            parent);
        window.setArchiveListing([&drive] { return drive.setting().ListArchives(); });
        window.setDotFolders([&drive] { return DotFolderSetting(drive.setting().path()).enterDotFolders(); });
        WindowChrome::attachDialog(&window);
        if (!window.updateDisc(disc))
            return false;
        if (updated)
            updated();
        return true;
    };
}
