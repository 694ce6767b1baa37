// The modules are folders; a module's sources include only the modules below
// it. The order is stated once, here; each module's CMake target links the
// modules it names.
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using testsupport::ScratchFolder;
using testsupport::WriteFileBytes;

namespace {

using Layout = std::map<std::string, std::set<std::string>>;

// Each module with the modules its sources may include besides its own. A
// deeper folder listed here is a module of its own; any other sub-folder
// belongs to the module above it. "resources" holds only generated headers.
const Layout kLayout = {
    {"files", {}},
    {"resources", {}},
    {"text", {}},
    {"imaging", {"files", "resources"}},
    {"book", {"files", "imaging", "text"}},
    {"ui", {"imaging", "resources", "text"}},
    {"diagnostics", {"text", "ui"}},
    // The automation interfaces: files of export/ that are a module of their
    // own, below the engine that implements them.
    {"export/ComError.h", {}},
    {"export/Automation.h", {"export/ComError.h"}},
    {"export/engine", {"export/Automation.h", "export/ComError.h", "files", "imaging", "text"}},
    {"export", {"book", "diagnostics", "export/Automation.h", "export/ComError.h", "export/engine", "files", "imaging", "text"}},
    {"app", {"book", "diagnostics", "export", "export/Automation.h", "export/ComError.h", "export/engine", "files", "text", "ui"}},
};

// The module a path below the root belongs to ("" for none).
std::string ModuleOf(const Layout& layout, const std::string& path)
{
    std::string best;
    for (const auto& [module, uses] : layout)
        if ((path == module || path.starts_with(module + "/")) && module.size() > best.size())
            best = module;
    return best;
}

std::vector<std::string> QuotedIncludes(const fs::path& file)
{
    static const std::regex include(R"(^\s*#\s*include\s*"([^"]+)\")");
    std::vector<std::string> found;
    std::ifstream in(file);
    std::smatch match;
    for (std::string line; std::getline(in, line);)
        if (std::regex_search(line, match, include))
            found.push_back(match[1]);
    return found;
}

// A circle through the graph as "a -> b -> a", or "" when there is none.
std::string FindCircle(const std::map<std::string, std::set<std::string>>& graph)
{
    std::map<std::string, int> state;  // 1 on the path, 2 done
    std::vector<std::string> path;
    std::string circle;
    std::function<bool(const std::string&)> visit = [&](const std::string& node) {
        state[node] = 1;
        path.push_back(node);
        if (const auto edges = graph.find(node); edges != graph.end())
            for (const std::string& next : edges->second) {
                if (next == node)
                    continue;
                if (state[next] == 1) {
                    for (auto it = std::find(path.begin(), path.end(), next); it != path.end(); ++it)
                        circle += *it + " -> ";
                    circle += next;
                    return true;
                }
                if (state[next] == 0 && visit(next))
                    return true;
            }
        path.pop_back();
        state[node] = 2;
        return false;
    };
    for (const auto& [node, edges] : graph)
        if (state[node] == 0 && visit(node))
            break;
    return circle;
}

// Every fault of the tree below root against the layout, one line each.
std::vector<std::string> LayoutFaults(const fs::path& root, const Layout& layout)
{
    std::vector<std::string> faults;
    if (const std::string circle = FindCircle(layout); !circle.empty())
        faults.push_back("the layout itself has a circle: " + circle);
    std::map<std::string, std::set<std::string>> modules;
    std::map<std::string, std::set<std::string>> headers;
    for (const auto& [module, uses] : layout) {
        if (!fs::is_directory(root / module))
            continue;
        for (const auto& entry : fs::recursive_directory_iterator(root / module)) {
            const std::string extension = entry.path().extension().string();
            if (!entry.is_regular_file() || (extension != ".h" && extension != ".cpp"))
                continue;
            const std::string file = entry.path().lexically_relative(root).generic_string();
            const std::string from = ModuleOf(layout, file);
            for (const std::string& include : QuotedIncludes(entry.path())) {
                const std::string to = ModuleOf(layout, include);
                if (to.empty())
                    continue;  // a generated header of the build, or one beside the file
                if (extension == ".h" && fs::exists(root / include))
                    headers[file].insert(include);
                if (to == from)
                    continue;
                modules[from].insert(to);
                if (!layout.at(from).contains(to))
                    faults.push_back(file + " includes " + include + ": " + from + " does not use " + to);
            }
        }
    }
    if (const std::string circle = FindCircle(modules); !circle.empty())
        faults.push_back("modules include each other: " + circle);
    if (const std::string circle = FindCircle(headers); !circle.empty())
        faults.push_back("headers include each other: " + circle);
    return faults;
}

std::string Lines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

TEST(ModuleLayout, TheTreeFollowsTheLayout)
{
    EXPECT_EQ(Lines(LayoutFaults(TRALVEX_SOURCE_DIR, kLayout)), "");
}

struct TreeCase {
    const char* name;
    std::vector<std::pair<const char*, const char*>> files;  // path, content
    const char* fault;  // the start of a fault expected, "" for none
};
// Named in test listings by its name, not by its bytes.
void PrintTo(const TreeCase& c, std::ostream* os) { *os << c.name; }

class ModuleLayoutRules : public ::testing::TestWithParam<TreeCase> {};

TEST_P(ModuleLayoutRules, FindsTheFault)
{
    const Layout layout = {{"low", {}}, {"high", {"low"}}, {"high/deep", {"low"}}};
    ScratchFolder root;
    for (const auto& [path, content] : GetParam().files) {
        fs::create_directories((root / path).parent_path());
        WriteFileBytes(root / path, content);
    }
    const std::vector<std::string> faults = LayoutFaults(root.Path(), layout);
    const std::string expected = GetParam().fault;
    if (expected.empty())
        EXPECT_EQ(Lines(faults), "");
    else
        EXPECT_TRUE(std::any_of(faults.begin(), faults.end(),
                                [&](const std::string& fault) { return fault.starts_with(expected); }))
            << Lines(faults);
}

INSTANTIATE_TEST_SUITE_P(
    Trees, ModuleLayoutRules,
    ::testing::Values(
        TreeCase{"Downwards", {{"high/A.cpp", "#include \"low/B.h\"\n"}, {"low/B.h", ""}}, ""},
        TreeCase{"Upwards", {{"low/B.cpp", "#include \"high/A.h\"\n"}, {"high/A.h", ""}}, "low/B.cpp includes high/A.h: low does not use high"},
        TreeCase{"DeeperFolderIsAModule", {{"high/deep/C.cpp", "#include \"high/A.h\"\n"}, {"high/A.h", ""}}, "high/deep/C.cpp includes high/A.h: high/deep does not use high"},
        TreeCase{"ModulesInACircle",
                 {{"high/A.cpp", "#include \"high/deep/C.h\"\n"}, {"high/deep/C.cpp", "#include \"high/A.h\"\n"}, {"high/deep/C.h", ""}, {"high/A.h", ""}},
                 "modules include each other: high -> high/deep -> high"},
        TreeCase{"HeadersInACircle",
                 {{"low/A.h", "#pragma once\n#include \"low/B.h\"\n"}, {"low/B.h", "#include \"low/A.h\"\n"}},
                 "headers include each other: low/A.h -> low/B.h -> low/A.h"},
        TreeCase{"UnknownFoldersAndSystemHeadersAreNoModules",
                 {{"low/B.cpp", "#include <vector>\n#include \"Version.h\"\n#include \"tools/X.h\"\n"}},
                 ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
