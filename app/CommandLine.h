#pragma once
#include <string>
#include <vector>

namespace app {

// Splits a raw command line (without the program path) into arguments.
// Quotes group; there is no escape character; an unterminated quoted
// argument is dropped; "" gives one empty argument.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

}  // namespace app
