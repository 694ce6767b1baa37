#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace app {

// What went wrong with the command line, in a line each (without the
// program's name): a path that does not exist, an unknown option, a wrong
// --jobs value, folders batch mode cannot use, books that are not converted.
// The run goes on as it would without them; empty when nothing went wrong.
std::vector<std::string> CommandLineNotes(const std::vector<std::string>& arguments);

// Writes each note as "tralvex: " + note on a line of its own, only for a
// person at a terminal: scripts see the program as quiet as before.
void WriteCommandLineNotes(const std::vector<std::string>& notes, std::ostream& err, bool terminal);

}  // namespace app
