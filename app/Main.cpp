#include "app/DesktopSaveDialog.h"
#include "app/InformationOptions.h"
#include "app/Interruption.h"
#include "app/RunModes.h"
#include "diagnostics/SupportLink.h"
#include "export/EngineDescription.h"
#include "export/SavePresentation.h"
#include "ui/MessageCatalogue.h"

#include <FreeImage.h>
#include <malloc.h>

#include <iostream>
#include <string>
#include <vector>

namespace {

// The image library is initialised for the whole run and released last.
class ImageLibrary {
public:
    ImageLibrary()
    {
        // Texture images of a few MB are made and freed again and again: kept
        // in the heap, they are not mapped, faulted in and unmapped each time.
        mallopt(M_MMAP_THRESHOLD, 32 << 20);
        mallopt(M_TRIM_THRESHOLD, 64 << 20);
        FreeImage_Initialise(TRUE);
    }
    ~ImageLibrary() { FreeImage_DeInitialise(); }
    ImageLibrary(const ImageLibrary&) = delete;
    ImageLibrary& operator=(const ImageLibrary&) = delete;
};

}  // namespace

int main(int argc, char** argv)
{
    // Before any other thread exists, so that every thread inherits it.
    InstallInterruptionCleanup();
    LoadMessageCatalogue();
    // The support link describes the engine when the failure did not.
    SetInstalledEngineDescriber([] { return DescribeInstalledPowerPoint(); });
    // A failed save asks the user on the desktop, when there is one.
    SetSaveDialog(DesktopSaveDialog);
    // The arguments arrive already split; position 0 is the program itself.
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (PrintInformation(arguments, std::cout))
        return 0;
    {
        ImageLibrary imageLibrary;
        RunApplication(arguments);
    }
    return 0;
}
