#include "book/NumberAttributes.h"

#include <array>
#include <cstdint>
#include <string>

#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNamedNodeMap.hpp>
#include <xercesc/dom/DOMNode.hpp>

namespace bookparser {
namespace {

using namespace xercesc;

enum class NumberKind { None,
                        Float,
                        Unsigned };

NumberKind KindOf(std::string_view name) noexcept
{
    static constexpr std::array<std::string_view, 5> kFloats{"x", "y", "width", "height", "pageAspectRatio"};
    for (std::string_view f : kFloats)
        if (name == f)
            return NumberKind::Float;
    return name == "color" ? NumberKind::Unsigned : NumberKind::None;
}

std::string_view Trim(std::string_view text) noexcept
{
    constexpr std::string_view kSpace = " \t\r\n";
    const auto first = text.find_first_not_of(kSpace);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// The attribute's text as ASCII; anything else cannot be part of a number and
// becomes a character no number contains. (The XSD runtime's own string
// helpers are not used here: their layout depends on macros that only the
// generated header sets.)
std::string Ascii(const XMLCh* text)
{
    std::string ascii;
    for (; text != nullptr && *text != 0; ++text)
        ascii += *text < 0x80 ? static_cast<char>(*text) : '?';
    return ascii;
}

// Digits from pos; returns how many.
std::size_t Digits(std::string_view text, std::size_t& pos) noexcept
{
    const std::size_t start = pos;
    while (pos < text.size() && IsDigit(text[pos]))
        ++pos;
    return pos - start;
}

void FixAttributes(DOMElement& element)
{
    DOMNamedNodeMap* attributes = element.getAttributes();
    if (attributes == nullptr)
        return;
    for (XMLSize_t i = 0; i < attributes->getLength(); ++i) {
        auto* attribute = static_cast<DOMAttr*>(attributes->item(i));
        const XMLCh* ns = attribute->getNamespaceURI();
        if (ns != nullptr && *ns != 0)
            continue;
        const XMLCh* local = attribute->getLocalName() != nullptr ? attribute->getLocalName() : attribute->getName();
        const NumberKind kind = KindOf(Ascii(local));
        if (kind == NumberKind::None)
            continue;
        const std::string value = Ascii(attribute->getValue());
        if (kind == NumberKind::Float && !IsWellFormedFloat(value))
            attribute->setValue(u"NaN");
        else if (kind == NumberKind::Unsigned && !IsWellFormedUnsigned32(value))
            attribute->setValue(u"0");
    }
}

}  // namespace

bool IsWellFormedFloat(std::string_view text) noexcept
{
    text = Trim(text);
    if (text == "INF" || text == "-INF" || text == "NaN")
        return true;
    std::size_t pos = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        ++pos;
    std::size_t mantissa = Digits(text, pos);
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        mantissa += Digits(text, pos);
    }
    if (mantissa == 0)
        return false;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        ++pos;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
            ++pos;
        if (Digits(text, pos) == 0)
            return false;
    }
    return pos == text.size();
}

bool IsWellFormedUnsigned32(std::string_view text) noexcept
{
    text = Trim(text);
    std::size_t pos = 0;
    if (pos < text.size() && text[pos] == '+')
        ++pos;
    if (pos == text.size())
        return false;
    std::uint64_t value = 0;
    for (; pos < text.size(); ++pos) {
        if (!IsDigit(text[pos]))
            return false;
        value = value * 10 + static_cast<unsigned>(text[pos] - '0');
        if (value > 0xFFFFFFFFu)
            return false;
    }
    return true;
}

void FixMalformedNumbers(DOMElement& top)
{
    // Iterative walk: the nesting is capped, but no recursion is needed.
    DOMNode* node = &top;
    while (node != nullptr) {
        if (node->getNodeType() == DOMNode::ELEMENT_NODE)
            FixAttributes(*static_cast<DOMElement*>(node));
        if (DOMNode* child = node->getFirstChild()) {
            node = child;
            continue;
        }
        // Back up to the next sibling, never past the element itself.
        while (node != &top && node->getNextSibling() == nullptr)
            node = node->getParentNode();
        node = node == &top ? nullptr : node->getNextSibling();
    }
}

}  // namespace bookparser
