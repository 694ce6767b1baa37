#pragma once
#include <map>
#include <string>
#include <string_view>

namespace ui {

// Every text a user can see is looked up by id in the message catalogue, an
// XML document embedded in the executable:
//   <language><messages><message id="ID">text</message>...</messages></language>
// Ids and texts are UTF-8.

using MessageCatalogue = std::map<std::string, std::string>;

// Loads the embedded English catalogue; called once at start-up. Throws when
// the embedded document is unusable (see ParseMessageCatalogue).
void LoadMessageCatalogue();

// Parses a UTF-8 catalogue document (a leading byte-order mark is dropped).
// Throws the utf-8 library's exception for invalid UTF-8, rapidxml::parse_error
// for malformed XML, and std::runtime_error "No xml node found" (no
// "language" root or no "messages" child) or "No attribute found" (a
// "message" without "id"). Ids and texts go through UnescapeText; when an id
// repeats, its first text wins.
MessageCatalogue ParseMessageCatalogue(std::string_view document);

// Replaces the process-wide table as a whole.
void InstallMessageCatalogue(MessageCatalogue catalogue);

// The catalogue text of id, or the id itself when there is none.
std::string Translate(const std::string& id);
bool HasTranslation(const std::string& id);

// Expands the backslash escapes \" \' \\ \n \r \t; a backslash before any
// other character removes both, and a trailing backslash is dropped.
std::string UnescapeText(std::string_view text);

// The translator used by auto-translating windows: the process-wide table.
class CDefaultTranslator {
public:
    std::string Translate(const std::string& id) const { return ui::Translate(id); }
    bool HasTranslation(const std::string& id) const { return ui::HasTranslation(id); }
};

}  // namespace ui
