#include "app/InformationOptions.h"

#include "Version.h"
#include "ui/MessageCatalogue.h"

#include <filesystem>

std::string UsageText()
{
    return "Usage:\n"
           "  tralvex BOOK                    convert BOOK (a .mordx book package) into a\n"
           "                                  presentation next to it and show it in the\n"
           "                                  file manager\n"
           "  tralvex --silent SOURCE OUTPUT  convert every file below the folder SOURCE into\n"
           "                                  the folder OUTPUT and write a log there\n"
           "  tralvex                         tell how to use the program\n"
           "  tralvex --help | --version      print this text or the version\n"
           "\n" +
           Translate("USAGE_TEXT") + "\n";
}

std::string VersionText()
{
    return std::string("tralvex ") + TRALVEX_VERSION_STRING + "\n";
}

bool PrintInformation(const std::vector<std::string>& arguments, std::ostream& out)
{
    if (arguments.empty() || (arguments[0] != "--help" && arguments[0] != "--version"))
        return false;
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(arguments[0], ec);
    if (std::filesystem::exists(status))
        return false;
    out << (arguments[0] == "--help" ? UsageText() : VersionText()) << std::flush;
    return true;
}
