#include "app/CommandLine.h"

namespace app {

std::vector<std::string> SplitCommandLine(const std::string& commandLine)
{
    std::vector<std::string> arguments;
    std::string token;
    bool inQuotes = false;
    for (const char ch : commandLine) {
        // Bytes of multi-byte UTF-8 characters are above U+0020 as unsigned
        // values, so they are ordinary characters like every letter.
        const auto c = static_cast<unsigned char>(ch);
        if (inQuotes) {
            if (c == '"') {
                inQuotes = false;
                arguments.push_back(token);
                token.clear();
            } else {
                token += ch;
            }
        } else if (c == '"') {
            if (token.empty())
                inQuotes = true;
            else
                token += ' ';
        } else if (c > 0x20) {
            token += ch;
        } else if (!token.empty()) {
            arguments.push_back(token);
            token.clear();
        }
    }
    if (!inQuotes && !token.empty())
        arguments.push_back(token);
    return arguments;
}

}  // namespace app
