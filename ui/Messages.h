#pragma once
#include <string>

// The four messages of single-file mode. Without a display they are printed
// on standard error.
void ShowUsageMessage();
void ShowNotABookMessage();
void ShowPptNotInstalledMessage();
void ShowFileCorruptedMessage(const std::string& supportUrl);
