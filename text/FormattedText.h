#pragma once

// The formatted text model: what the HTML text of one text object becomes.
// A tree of text formats, lists, paragraphs, font tags and text ranges, each
// level carrying name/value attributes, and a style record on every range.
//
// All text is UTF-8. A line break inside a range is the character U+000B.
// Collections own their items; the plain pointers they hand out stay valid
// until the collection is cleared or destroyed.

#include <boost/noncopyable.hpp>

#include <cstddef>
#include <memory>
#include <string>

namespace htmlparser {

// Every collection of the model. GetItem throws std::out_of_range for an
// index at or beyond GetCount.
template <class CopyPolicy, class T>
class ICollection : public CopyPolicy {
public:
    virtual std::size_t GetCount() const = 0;
    virtual void Clear() = 0;
    virtual const T* GetItem(std::size_t index) const = 0;
    virtual T* GetItem(std::size_t index) = 0;
    virtual ~ICollection() = default;
};

template <class T>
class INonCopyableCollection : public ICollection<boost::noncopyable, T> {
};

class IAttribute : private boost::noncopyable {
public:
    virtual ~IAttribute() = default;
    // The name is always stored lower-case.
    virtual std::string GetName() const = 0;
    // Throws std::invalid_argument for an empty name. Does not re-index the
    // owning collection.
    virtual void SetName(const std::string& name) = 0;
    virtual std::string GetValue() const = 0;
    virtual void SetValue(const std::string& value) = 0;
};

// Attributes in insertion order; names are compared case-insensitively.
class IAttributes : public INonCopyableCollection<IAttribute> {
public:
    // Folds the name to lower case; an existing attribute of that name gets
    // the new value and keeps its position. Throws std::invalid_argument
    // "attribute name must be a non-empty string" for an empty name.
    virtual IAttribute* Add(const std::string& name, const std::string& value) = 0;
    virtual bool Contains(const std::string& name) const = 0;
    // Throws std::invalid_argument "attribute with the specified name not
    // found"; test with Contains first.
    virtual const IAttribute* Get(const std::string& name) const = 0;
    virtual IAttribute* Get(const std::string& name) = 0;
};

class IFontStyle {
public:
    virtual bool IsBold() const = 0;
    virtual void SetBold(bool bold) = 0;
    virtual bool IsItalic() const = 0;
    virtual void SetItalic(bool italic) = 0;
    virtual bool IsUnderline() const = 0;
    virtual void SetUnderline(bool underline) = 0;
    virtual std::string GetUrl() const = 0;
    virtual std::string GetEventLink() const = 0;
    virtual std::string GetMailLink() const = 0;
    // Stores the link in exactly one of the three links, by its prefix:
    // "event:" -> event link, "mailto:" -> mail link, anything else (also the
    // empty string) -> URL. The prefix test is case-sensitive.
    virtual void SetLink(const std::string& link) = 0;
    virtual std::string GetTarget() const = 0;
    virtual void SetTarget(const std::string& target) = 0;
    virtual ~IFontStyle() = default;
};

class ITextRange : private boost::noncopyable {
public:
    virtual const IFontStyle& GetFontStyle() const = 0;
    virtual IFontStyle& GetFontStyle() = 0;
    virtual std::string GetText() const = 0;
    virtual void SetText(const std::string& text) = 0;
    virtual ~ITextRange() = default;
};

class ITextRanges : public ICollection<boost::noncopyable, ITextRange> {
public:
    // A new range with the default style (all off, all links empty).
    virtual ITextRange* Add(const std::string& text) = 0;
};

class IFontTag : private boost::noncopyable {
public:
    virtual ~IFontTag() = default;
    virtual const ITextRanges& GetTextRanges() const = 0;
    virtual ITextRanges& GetTextRanges() = 0;
    virtual const IAttributes& GetAttributes() const = 0;
    virtual IAttributes& GetAttributes() = 0;
};

class IFontTags : public INonCopyableCollection<IFontTag> {
public:
    // A new font tag with the attributes of source (in order), no ranges.
    virtual IFontTag* AddCopy(const IFontTag& source) = 0;
    virtual IFontTag* Add() = 0;
};

class IParagraph {
public:
    virtual const IFontTags& GetFontTags() const = 0;
    virtual IFontTags& GetFontTags() = 0;
    virtual const IAttributes& GetAttributes() const = 0;
    virtual IAttributes& GetAttributes() = 0;
    // True for a paragraph written as a "p" element, false for the implicit
    // paragraph around a "font" element directly inside "li".
    virtual bool IsParagraphTag() const = 0;
    virtual ~IParagraph() = default;
};

class IParagraphs : public INonCopyableCollection<IParagraph> {
public:
    virtual IParagraph* Add(bool paragraphTag) = 0;
};

class IList {
public:
    virtual const IParagraphs& GetParagraphs() const = 0;
    virtual IParagraphs& GetParagraphs() = 0;
    virtual const IAttributes& GetAttributes() const = 0;
    virtual IAttributes& GetAttributes() = 0;
    virtual void SetListItem(bool listItem) = 0;
    // True for a list made from an "li" element.
    virtual bool IsListItem() const = 0;
    virtual ~IList() = default;
};

class ILists : public INonCopyableCollection<IList> {
public:
    virtual IList* Add() = 0;
};

class ITextFormat : private boost::noncopyable {
public:
    virtual const ILists& GetLists() const = 0;
    virtual ILists& GetLists() = 0;
    virtual const IAttributes& GetAttributes() const = 0;
    virtual IAttributes& GetAttributes() = 0;
    virtual ~ITextFormat() = default;
};

class ITextFormats : public INonCopyableCollection<ITextFormat> {
public:
    virtual ITextFormat* Add() = 0;
};

class IFormattedText : private boost::noncopyable {
public:
    virtual ~IFormattedText() = default;
    virtual const ITextFormats& GetTextFormats() const = 0;
    virtual ITextFormats& GetTextFormats() = 0;
    // An independent deep copy (written as HTML and parsed back). Throws
    // std::runtime_error "Error cloning formatted text" if that fails.
    virtual std::unique_ptr<IFormattedText> Clone() const = 0;
    // The text without markup: paragraphs separated by line feeds, line
    // breaks as line feeds.
    virtual std::string GetPlainText() const = 0;
};

// A new, empty formatted text.
std::unique_ptr<IFormattedText> CreateFormattedText();

}  // namespace htmlparser
