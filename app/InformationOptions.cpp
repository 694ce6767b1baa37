#include "app/InformationOptions.h"

#include "Version.h"
#include "ui/MessageCatalogue.h"

#include <filesystem>

using namespace ui;

namespace app {

std::string UsageText()
{
    return "Usage:\n"
           "  tralvex BOOK                    convert BOOK (a .mordx book package) into a\n"
           "                                  presentation next to it and show it in the\n"
           "                                  file manager\n"
           "  tralvex --silent SOURCE OUTPUT  convert every file below the folder SOURCE into\n"
           "                                  the folder OUTPUT and write a log there\n"
           "  tralvex --choose-book [BOOK]    as tralvex BOOK; without BOOK, ask for one in\n"
           "                                  a file chooser (the application menu's launch)\n"
           "  tralvex                         tell how to use the program\n"
           "  tralvex -h | --help             print this text\n"
           "  tralvex -V | --version          print the version\n"
           "\n"
           "Options of --silent, in any order before or after SOURCE and OUTPUT:\n"
           "  --jobs N, --jobs=N              convert N books at a time, 1 to 128 (without\n"
           "                                  it, as many as there are processors)\n"
           "  --resume                        skip the books that a record in OUTPUT lists\n"
           "                                  as converted, with their presentation there\n"
           "\n"
           "The exit status is always 0: a failure is reported in a message (BOOK) or in\n"
           "the log (--silent). On a terminal, a mistake in the command line is also\n"
           "named on standard error.\n"
           "More in the manual page: man tralvex\n"
           "\n"
           + Translate("USAGE_TEXT") + "\n";
}

std::string VersionText()
{
    return std::string("tralvex ") + TRALVEX_VERSION_STRING + "\n";
}

bool PrintInformation(const std::vector<std::string>& arguments, std::ostream& out)
{
    if (arguments.empty())
        return false;
    const bool help = arguments[0] == "--help" || arguments[0] == "-h";
    if (!help && arguments[0] != "--version" && arguments[0] != "-V")
        return false;
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(arguments[0], ec);
    if (std::filesystem::exists(status))
        return false;
    out << (help ? UsageText() : VersionText()) << std::flush;
    return true;
}

}  // namespace app
