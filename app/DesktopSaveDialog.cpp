#include "app/DesktopSaveDialog.h"

#include "export/SavePresentation.h"
#include "ui/Desktop.h"
#include "ui/SaveFileDialog.h"

std::optional<std::filesystem::path> DesktopSaveDialog(const std::filesystem::path& proposed,
                                                       const std::filesystem::path& failed)
{
    if (!OpenDesktop())
        return HeadlessSaveDialog(proposed, failed);
    return ShowSaveDialog(proposed);
}
