#pragma once
#include <string>

// Converts every file below the source folder into the output folder without
// messages, and logs the failures in "log<N>.txt" there.
void RunBatch(std::string sourceFolder, std::string outputFolder);
