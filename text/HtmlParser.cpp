#include "text/HtmlParser.h"

#include "text/FormattedTextImpl.h"

#include <rapidxml/rapidxml.hpp>

#include <cstring>
#include <functional>
#include <map>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace htmlparser {

namespace {

using Node = rapidxml::xml_node<char>;

const char kSyntaxError[] = "html parsing error";

// Entities stay as written; everything else is rapidxml's default.
constexpr int kParseFlags = rapidxml::parse_no_entity_translation | rapidxml::parse_no_string_terminators;

// rapidxml's character classes, which the nesting check must share with it.
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsNameChar(char c) { return c != '\0' && !IsSpace(c) && c != '/' && c != '>' && c != '?'; }
bool IsAttributeNameChar(char c)
{
    return c != '\0' && !IsSpace(c) && c != '!' && c != '/' && c != '<' && c != '=' && c != '>' && c != '?';
}

// strncmp stops at the first difference, so it never reads past the
// terminating zero of t.
bool StartsWith(const char* t, const char* prefix)
{
    return std::strncmp(t, prefix, std::strlen(prefix)) == 0;
}

void SkipSpace(const char*& t)
{
    while (IsSpace(*t))
        ++t;
}

// Skips to just past the terminator; false at the end of the text.
bool SkipPast(const char*& t, const char* terminator)
{
    const std::size_t length = std::strlen(terminator);
    for (;; ++t) {
        if (*t == '\0')
            return false;
        if (StartsWith(t, terminator)) {
            t += length;
            return true;
        }
    }
}

// Runs of white space that rapidxml drops (white space alone between two
// pieces of markup), by the name of the element they sit in.
using DroppedSpace = std::map<const char*, std::vector<std::string_view>>;

// rapidxml recurses once per open element and cannot be told to stop, so
// the text is first scanned with its grammar, without recursion, and
// refused if elements nest deeper than the limit. Returns false for too deep
// nesting or a syntax error (rapidxml would reject the latter anyway).
// The scan also records the white space that rapidxml drops, so that the
// walk can restore it. t must be zero-terminated.
bool NestingWithinLimit(const char* t, std::size_t limit, DroppedSpace& dropped)
{
    std::size_t depth = 0;
    std::vector<const char*> open;
    for (;;) {
        if (depth == 0) {
            SkipSpace(t);
            if (*t == '\0')
                return true;
            if (*t != '<')
                return false;
        } else {
            const char* space = t;
            SkipSpace(t);
            if (*t == '<' && t != space) {
                dropped[open.back()].emplace_back(space, static_cast<std::size_t>(t - space));
            } else {
                while (*t != '\0' && *t != '<')
                    ++t;
            }
            if (*t == '\0')
                return false;
            if (t[1] == '/') {
                t += 2;
                while (IsNameChar(*t))
                    ++t;
                SkipSpace(t);
                if (*t != '>')
                    return false;
                ++t;
                --depth;
                open.pop_back();
                continue;
            }
        }
        ++t;  // '<'
        if (*t == '?') {
            if (!SkipPast(++t, "?>"))
                return false;
        } else if (*t == '!') {
            if (t[1] == '-' && t[2] == '-') {
                t += 3;
                if (!SkipPast(t, "-->"))
                    return false;
            } else if (StartsWith(t, "![CDATA[")) {
                t += 8;
                if (!SkipPast(t, "]]>"))
                    return false;
            } else if (StartsWith(t, "!DOCTYPE") && IsSpace(t[8])) {
                t += 9;
                while (*t != '>') {
                    if (*t == '\0')
                        return false;
                    if (*t == '[') {
                        ++t;
                        std::size_t brackets = 1;
                        while (brackets > 0) {
                            if (*t == '\0')
                                return false;
                            if (*t == '[')
                                ++brackets;
                            else if (*t == ']')
                                --brackets;
                            ++t;
                        }
                    } else {
                        ++t;
                    }
                }
                ++t;
            } else {
                ++t;
                while (*t != '>') {
                    if (*t == '\0')
                        return false;
                    ++t;
                }
                ++t;
            }
        } else {
            const char* name = t;
            while (IsNameChar(*t))
                ++t;
            if (t == name)
                return false;
            SkipSpace(t);
            while (IsAttributeNameChar(*t)) {
                while (IsAttributeNameChar(*t))
                    ++t;
                SkipSpace(t);
                if (*t != '=')
                    return false;
                ++t;
                SkipSpace(t);
                const char quote = *t;
                if (quote != '"' && quote != '\'')
                    return false;
                ++t;
                while (*t != '\0' && *t != quote)
                    ++t;
                if (*t != quote)
                    return false;
                ++t;
                SkipSpace(t);
            }
            if (*t == '>') {
                ++t;
                if (++depth > limit)
                    return false;
                open.push_back(name);
            } else if (*t == '/' && t[1] == '>') {
                t += 2;
            } else {
                return false;
            }
        }
    }
}

void ReplaceAll(std::string& s, std::string_view what, char with)
{
    std::string out;
    out.reserve(s.size());
    std::size_t from = 0;
    for (std::size_t at; (at = s.find(what, from)) != std::string::npos; from = at + what.size()) {
        out.append(s, from, at - from);
        out += with;
    }
    out.append(s, from, std::string::npos);
    s.swap(out);
}

std::string NameOf(const Node& node) { return FoldName(std::string(node.name(), node.name_size())); }

bool IsElement(const Node& node, const char* lowerName)
{
    return node.type() == rapidxml::node_element && NameOf(node) == lowerName;
}

void AddAttributes(const Node& element, IAttributes& attributes)
{
    for (auto* a = element.first_attribute(); a != nullptr; a = a->next_attribute())
        attributes.Add(std::string(a->name(), a->name_size()), std::string(a->value(), a->value_size()));
}

// Attribute value by case-insensitive name; empty if missing.
std::string AttributeValue(const Node& element, const char* lowerName)
{
    for (auto* a = element.first_attribute(); a != nullptr; a = a->next_attribute())
        if (FoldName(std::string(a->name(), a->name_size())) == lowerName)
            return std::string(a->value(), a->value_size());
    return {};
}

// Passed by value, so that a style applies to one subtree only.
struct WalkState {
    // The start of a font tag: no styles, no link.
    WalkState(const DroppedSpace& space, IFontTag* fontTag, IParagraph* owner, bool isFontRoot)
        : dropped(&space), tag(fontTag), paragraph(owner), fontRoot(isFontRoot) {}

    const DroppedSpace* dropped;
    IFontTag* tag;
    IParagraph* paragraph;
    bool fontRoot = false;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    std::string link;
    std::string target;
};

// A child of an element: a node, or white space that rapidxml dropped.
struct Child {
    const Node* node;
    std::string_view space;
};

const char* PositionOf(const Node& node)
{
    return node.type() == rapidxml::node_element ? node.name() : node.value();
}

// The children in document order, with the dropped white space put back.
std::vector<Child> ChildrenOf(const Node& element, const DroppedSpace& dropped)
{
    std::vector<Child> children;
    const auto found = dropped.find(element.name());
    const std::vector<std::string_view> none;
    const auto& spaces = found != dropped.end() ? found->second : none;
    auto space = spaces.begin();
    for (const Node* child = element.first_node(); child != nullptr; child = child->next_sibling()) {
        const std::less<const char*> before;
        for (; space != spaces.end() && before(space->data(), PositionOf(*child)); ++space)
            children.push_back({nullptr, *space});
        children.push_back({child, {}});
    }
    for (; space != spaces.end(); ++space)
        children.push_back({nullptr, *space});
    return children;
}

void HandleFont(const Node& font, IFontTag& tag, IParagraph& paragraph, const DroppedSpace& dropped);

void AddText(std::string_view text, const WalkState& state)
{
    if (text.empty())
        return;
    ITextRange* range = state.tag->GetTextRanges().Add(std::string(text));
    IFontStyle& style = range->GetFontStyle();
    style.SetBold(state.bold);
    style.SetItalic(state.italic);
    style.SetUnderline(state.underline);
    style.SetLink(state.link);
    style.SetTarget(state.target);
}

// Returns true if node was a nested font, which got a font tag of its own.
bool Walk(const Child& child, WalkState state)
{
    if (child.node == nullptr) {
        AddText(child.space, state);
        return false;
    }
    const Node& node = *child.node;
    if (node.type() == rapidxml::node_data || node.type() == rapidxml::node_cdata) {
        AddText(std::string_view(node.value(), node.value_size()), state);
        return false;
    }
    if (node.type() != rapidxml::node_element)
        return false;

    const std::string name = NameOf(node);
    if (name == "font" && !state.fontRoot) {
        IFontTag* nested = state.paragraph->GetFontTags().AddCopy(*state.tag);
        HandleFont(node, *nested, *state.paragraph, *state.dropped);
        return true;
    }
    if (name == "b") {
        state.bold = true;
    } else if (name == "i") {
        state.italic = true;
    } else if (name == "u") {
        state.underline = true;
    } else if (name == "a") {
        state.link = AttributeValue(node, "href");
        state.target = AttributeValue(node, "target");
    }

    IFontTag* const own = state.tag;
    state.fontRoot = false;
    for (const Child& inner : ChildrenOf(node, *state.dropped)) {
        // After a nested font the following text belongs to a new font tag,
        // so that the paragraph's font tags stay in document order.
        if (Walk(inner, state))
            state.tag = state.paragraph->GetFontTags().AddCopy(*own);
    }
    return false;
}

void HandleFont(const Node& font, IFontTag& tag, IParagraph& paragraph, const DroppedSpace& dropped)
{
    AddAttributes(font, tag.GetAttributes());
    Walk(Child{&font, {}}, WalkState(dropped, &tag, &paragraph, true));
}

void FillParagraph(const Node& p, IParagraph& paragraph, const DroppedSpace& dropped)
{
    AddAttributes(p, paragraph.GetAttributes());
    for (const Child& child : ChildrenOf(p, dropped)) {
        IFontTag* tag = paragraph.GetFontTags().Add();
        if (child.node != nullptr && IsElement(*child.node, "font"))
            HandleFont(*child.node, *tag, paragraph, dropped);
        else
            Walk(child, WalkState(dropped, tag, &paragraph, false));
    }
}

void FillListItem(const Node& li, IList& list, const DroppedSpace& dropped)
{
    AddAttributes(li, list.GetAttributes());
    for (const Node* child = li.first_node(); child != nullptr; child = child->next_sibling()) {
        if (IsElement(*child, "p")) {
            FillParagraph(*child, *list.GetParagraphs().Add(true), dropped);
        } else if (IsElement(*child, "font")) {
            IParagraph* paragraph = list.GetParagraphs().Add(false);
            HandleFont(*child, *paragraph->GetFontTags().Add(), *paragraph, dropped);
        }
    }
}

void AddParagraphList(const Node& p, ITextFormat& format, const DroppedSpace& dropped)
{
    IList* list = format.GetLists().Add();
    FillParagraph(p, *list->GetParagraphs().Add(true), dropped);
}

void AddListItem(const Node& li, ITextFormat& format, const DroppedSpace& dropped)
{
    IList* list = format.GetLists().Add();
    list->SetListItem(true);
    FillListItem(li, *list, dropped);
}

}  // namespace

void CHtmlParser::Parse(const std::string& html, IFormattedText& target) const
{
    target.GetTextFormats().Clear();

    std::string working = "<generalTag>" + html + "</generalTag>";
    ReplaceAll(working, "<br>", '\v');
    ReplaceAll(working, "<BR>", '\v');
    // A zero byte would end the document early and silently drop the rest.
    if (working.find('\0') != std::string::npos)
        throw std::runtime_error(kSyntaxError);
    // rapidxml parses in place; the vector is its zero-terminated buffer.
    // Without string terminators it leaves the buffer as it is, so the
    // positions found by the scan stay comparable with the nodes.
    std::vector<char> buffer(working.begin(), working.end());
    buffer.push_back('\0');
    DroppedSpace dropped;
    // The wrapper is one level of its own.
    if (!NestingWithinLimit(buffer.data(), kMaxNestingDepth + 1, dropped))
        throw std::runtime_error(kSyntaxError);

    rapidxml::xml_document<char> document;
    try {
        document.parse<kParseFlags>(buffer.data());
    } catch (const rapidxml::parse_error&) {
        throw std::runtime_error(kSyntaxError);
    }

    const Node* root = document.first_node();
    if (root == nullptr)
        throw std::runtime_error("html parsing error: first node not found");

    ITextFormats& formats = target.GetTextFormats();
    for (const Node* child = root->first_node(); child != nullptr; child = child->next_sibling()) {
        if (child->type() != rapidxml::node_element)
            continue;
        const std::string name = NameOf(*child);
        if (name == "textformat") {
            ITextFormat* format = formats.Add();
            AddAttributes(*child, format->GetAttributes());
            for (const Node* inner = child->first_node(); inner != nullptr; inner = inner->next_sibling()) {
                if (IsElement(*inner, "p"))
                    AddParagraphList(*inner, *format, dropped);
                else if (IsElement(*inner, "li"))
                    AddListItem(*inner, *format, dropped);
            }
        } else if (name == "p") {
            AddParagraphList(*child, *formats.Add(), dropped);
        } else if (name == "li") {
            AddListItem(*child, *formats.Add(), dropped);
        }
    }
}

}  // namespace htmlparser
