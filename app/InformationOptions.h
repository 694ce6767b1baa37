#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace app {

// The usage: the syntax of the three run modes, the options, the exit status
// and the catalogue's usage text.
std::string UsageText();
// "tralvex " + the program version.
std::string VersionText();

// "--help" or "-h", "--version" or "-V" as argument 0 prints the usage or the
// version to `out` and returns true, unless a file-system object of that name
// exists in the current folder: that is a book like any other path and is
// converted.
bool PrintInformation(const std::vector<std::string>& arguments, std::ostream& out);

}  // namespace app
