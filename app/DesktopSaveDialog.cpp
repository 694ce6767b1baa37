#include "app/DesktopSaveDialog.h"

#include "ui/Desktop.h"
#include "ui/SaveFileDialog.h"

using namespace exporting;

using namespace ui;

namespace app {

std::optional<std::filesystem::path> DesktopSaveDialog(const std::filesystem::path& proposed,
                                                       const SaveFailure& failure)
{
    if (!OpenDesktop())
        return HeadlessSaveDialog(proposed, failure);
    return ShowSaveDialog(proposed, failure.failed.parent_path(), failure.reason);
}

}  // namespace app
