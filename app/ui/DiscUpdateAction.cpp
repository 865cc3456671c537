#include "app/ui/DiscUpdateAction.h"

#include "app/ui/SystemDiscDrive.h"
#include "app/ui/WindowChrome.h"
#include "maintenance/ui/DiscUpdateWindow.h"
#include "settings/DotFolderSetting.h"

std::function<bool(const DiscStore::DiscRow&)> discUpdateAction(Catalogue& catalogue, IMessages& messages,
                                                                SystemDiscDrive& drive, QWidget* parent,
                                                                std::function<void()> updated)
{
    return [&catalogue, &messages, &drive, parent,
            updated = std::move(updated)](const DiscStore::DiscRow& disc) {
        DiscUpdateWindow window(
            catalogue, messages, drive, [&drive] { return drive.setting().ReadDriveSetting(); }, parent);
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
