#include "app/ImageLibrary.h"
#include "app/Interruption.h"
#include "app/Thumbnailer.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    // A file manager that gives up on a thumbnail ends the process; its
    // working folder goes with it.
    app::InstallInterruptionCleanup();
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const app::ImageLibrary imageLibrary;
    return app::RunThumbnailer(arguments, std::cerr);
}
