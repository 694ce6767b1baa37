#include "ui/MessageCatalogue.h"

#include "resources/Catalogue.h"
#include "text/Unicode.h"

#include <rapidxml/rapidxml.hpp>

#include <stdexcept>
#include <utility>
#include <vector>

namespace ui {

namespace {

constexpr const char* kLanguageNode = "language";
constexpr const char* kMessagesNode = "messages";
constexpr const char* kMessageNode = "message";
constexpr const char* kIdAttribute = "id";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

MessageCatalogue& Table()
{
    static MessageCatalogue table;
    return table;
}

// A character reference can name a surrogate, which has no UTF-8 form; the
// table holds valid UTF-8 only.
std::string CheckedText(const char* data, std::size_t size)
{
    std::string text(data, size);
    if (!unicode::IsValidUtf8(text))
        throw std::runtime_error("Invalid character reference");
    return text;
}

}  // namespace

std::string UnescapeText(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c != '\\') {
            result += c;
            ++i;
            continue;
        }
        if (i + 1 == text.size())
            break;  // a trailing backslash is dropped
        const char next = text[i + 1];
        switch (next) {
        case '"':
            result += '"';
            break;
        case '\'':
            result += '\'';
            break;
        case '\\':
            result += '\\';
            break;
        case 'n':
            result += '\n';
            break;
        case 'r':
            result += '\r';
            break;
        case 't':
            result += '\t';
            break;
        default:
            // An unknown escape vanishes with the character it escapes; a
            // multi-byte character goes as a whole, never half of it.
            if (const auto cp = unicode::DecodeUtf8(text, i + 1))
                i += cp->length - 1;
            break;
        }
        i += 2;
    }
    return result;
}

MessageCatalogue ParseMessageCatalogue(std::string_view document)
{
    unicode::RequireValidUtf8(document);  // utf8-cpp's exception at the first bad sequence
    if (document.starts_with(kByteOrderMark))
        document.remove_prefix(kByteOrderMark.size());

    // rapidxml parses in place and needs a terminating zero.
    std::vector<char> buffer(document.begin(), document.end());
    buffer.push_back('\0');
    rapidxml::xml_document<char> xml;
    xml.parse<0>(buffer.data());

    const rapidxml::xml_node<char>* language = xml.first_node(kLanguageNode);
    const rapidxml::xml_node<char>* messages = language ? language->first_node(kMessagesNode) : nullptr;
    if (messages == nullptr)
        throw std::runtime_error("No xml node found");

    MessageCatalogue catalogue;
    for (const rapidxml::xml_node<char>* message = messages->first_node(kMessageNode); message != nullptr;
         message = message->next_sibling(kMessageNode)) {
        const rapidxml::xml_attribute<char>* id = message->first_attribute(kIdAttribute);
        if (id == nullptr)
            throw std::runtime_error("No attribute found");
        std::string key = UnescapeText(CheckedText(id->value(), id->value_size()));
        std::string text = UnescapeText(CheckedText(message->value(), message->value_size()));
        catalogue.emplace(std::move(key), std::move(text));  // keeps the first text of an id
    }
    return catalogue;
}

void InstallMessageCatalogue(MessageCatalogue catalogue)
{
    MessageCatalogue& table = Table();
    table.clear();
    table.swap(catalogue);
}

void LoadMessageCatalogue()
{
    std::string_view document;
    if (const auto resource = resources::FindCatalogue("messages"))
        document = std::string_view(reinterpret_cast<const char*>(resource->data()), resource->size());
    InstallMessageCatalogue(ParseMessageCatalogue(document));
}

std::string Translate(const std::string& id)
{
    const MessageCatalogue& table = Table();
    const auto it = table.find(id);
    return it != table.end() ? it->second : id;
}

bool HasTranslation(const std::string& id)
{
    return Table().contains(id);
}

}  // namespace ui
