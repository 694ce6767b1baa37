#include "ui/Messages.h"

#include "ui/MessageCatalogue.h"

#include <iostream>

namespace {

void PrintMessage(const std::string& titleId, const std::string& textId)
{
    std::cerr << Translate("TRALVEX_APP_TITLE") << "\n" << Translate(titleId) << "\n" << Translate(textId) << "\n";
}

}  // namespace

void ShowUsageMessage() { PrintMessage("USAGE_TITLE", "USAGE_TEXT"); }
void ShowNotABookMessage() { PrintMessage("ERROR_NOT_A_BOOK_TITLE", "ERROR_NOT_A_BOOK_TEXT"); }
void ShowPptNotInstalledMessage() { PrintMessage("ERROR_PPT_NOT_INSTALLED_TITLE", "ERROR_PPT_NOT_INSTALLED_TEXT"); }

void ShowFileCorruptedMessage(const std::string& supportUrl)
{
    PrintMessage("ERROR_FILE_CORRUPTED_TITLE", "ERROR_FILE_CORRUPTED_TEXT");
    std::cerr << Translate("ERROR_FILE_CORRUPTED_HLINK_TEXT") << ": " << supportUrl << "\n";
}
