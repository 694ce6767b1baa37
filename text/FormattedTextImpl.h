#pragma once

// The concrete classes of the formatted text model. Callers outside the text
// module normally need only text/FormattedText.h and CreateFormattedText.

#include "text/FormattedText.h"

#include <cstddef>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace htmlparser {

// Turns a stored shared pointer into the item interface it points to.
struct PointerDereferencingStrategy {
    template <class Interface, class Stored>
    static Interface* Get(const Stored& stored) { return stored.get(); }
};

// Count, clear and indexed access over a vector of stored items.
template <class CollectionInterface, class ItemInterface, class Stored, class Strategy>
class CCollectionImpl : public CollectionInterface {
public:
    std::size_t GetCount() const override { return m_items.size(); }
    void Clear() override { m_items.clear(); }
    const ItemInterface* GetItem(std::size_t index) const override
    {
        return Strategy::template Get<ItemInterface>(m_items.at(index));
    }
    ItemInterface* GetItem(std::size_t index) override
    {
        return Strategy::template Get<ItemInterface>(m_items.at(index));
    }

protected:
    std::vector<Stored> m_items;
};

// A collection whose items are concrete objects held by shared pointers.
template <class CollectionInterface, class ItemInterface, class Item>
class CSmartPointerCollectionImpl
    : public CCollectionImpl<CollectionInterface, ItemInterface, std::shared_ptr<Item>,
                             PointerDereferencingStrategy> {
protected:
    template <class... Args>
    Item* Append(Args&&... args)
    {
        auto item = std::make_shared<Item>(std::forward<Args>(args)...);
        this->m_items.push_back(item);
        return item.get();
    }
};

// Lower-case folding of names: ASCII and non-ASCII letters (invalid UTF-8
// bytes pass through unchanged), independent of the process locale.
std::string FoldName(const std::string& name);

class CAttribute : public IAttribute {
public:
    CAttribute(const std::string& name, const std::string& value);
    std::string GetName() const override { return m_name; }
    void SetName(const std::string& name) override;
    std::string GetValue() const override { return m_value; }
    void SetValue(const std::string& value) override { m_value = value; }
    // The name the owning list finds it by: the one it was added with, since
    // renaming does not re-index.
    const std::string& Key() const { return m_addedName ? *m_addedName : m_name; }

private:
    std::string m_name;
    std::string m_value;
    std::unique_ptr<const std::string> m_addedName;  // only once renamed
};

class CAttributes : public CSmartPointerCollectionImpl<IAttributes, IAttribute, CAttribute> {
public:
    void Clear() override;
    IAttribute* Add(const std::string& name, const std::string& value) override;
    bool Contains(const std::string& name) const override;
    const IAttribute* Get(const std::string& name) const override;
    IAttribute* Get(const std::string& name) override;

private:
    // An element has a few attributes: they are searched in order. Only a
    // long list (hostile input) gets a map, filled as it is needed.
    static constexpr std::size_t kSearchedInOrder = 16;
    CAttribute* Find(const std::string& folded) const;
    mutable std::unique_ptr<std::map<std::string, CAttribute*>> m_index;  // every tag has a list: most never need it
};

// Links are rare and runs are many: a run without one carries a null
// pointer, not four empty strings.
class CFontStyle : public IFontStyle {
public:
    bool IsBold() const override { return m_bold; }
    void SetBold(bool bold) override { m_bold = bold; }
    bool IsItalic() const override { return m_italic; }
    void SetItalic(bool italic) override { m_italic = italic; }
    bool IsUnderline() const override { return m_underline; }
    void SetUnderline(bool underline) override { m_underline = underline; }
    std::string GetUrl() const override { return m_link ? m_link->url : std::string(); }
    std::string GetEventLink() const override { return m_link ? m_link->eventLink : std::string(); }
    std::string GetMailLink() const override { return m_link ? m_link->mailLink : std::string(); }
    void SetLink(const std::string& link) override;
    std::string GetTarget() const override { return m_link ? m_link->target : std::string(); }
    void SetTarget(const std::string& target) override;

private:
    struct Link {
        std::string url, mailLink, eventLink, target;
    };
    // Copy on write: copies of a style share their link.
    Link& EditLink();

    bool m_bold = false;
    bool m_italic = false;
    bool m_underline = false;
    std::shared_ptr<const Link> m_link;
};

class CTextRange : public ITextRange {
public:
    const IFontStyle& GetFontStyle() const override { return m_style; }
    IFontStyle& GetFontStyle() override { return m_style; }
    std::string GetText() const override { return m_text; }
    void SetText(const std::string& text) override { m_text = text; }

private:
    CFontStyle m_style;
    std::string m_text;
};

class CTextRanges : public CSmartPointerCollectionImpl<ITextRanges, ITextRange, CTextRange> {
public:
    ITextRange* Add(const std::string& text) override;
};

class CFontTag : public IFontTag {
public:
    const ITextRanges& GetTextRanges() const override { return m_ranges; }
    ITextRanges& GetTextRanges() override { return m_ranges; }
    const IAttributes& GetAttributes() const override { return m_attributes; }
    IAttributes& GetAttributes() override { return m_attributes; }

private:
    CTextRanges m_ranges;
    CAttributes m_attributes;
};

class CFontTags : public CSmartPointerCollectionImpl<IFontTags, IFontTag, CFontTag> {
public:
    IFontTag* AddCopy(const IFontTag& source) override;
    IFontTag* Add() override { return Append(); }
};

class CParagraph : public IParagraph {
public:
    explicit CParagraph(bool paragraphTag) : m_paragraphTag(paragraphTag) {}
    const IFontTags& GetFontTags() const override { return m_fontTags; }
    IFontTags& GetFontTags() override { return m_fontTags; }
    const IAttributes& GetAttributes() const override { return m_attributes; }
    IAttributes& GetAttributes() override { return m_attributes; }
    bool IsParagraphTag() const override { return m_paragraphTag; }

private:
    CFontTags m_fontTags;
    CAttributes m_attributes;
    bool m_paragraphTag;
};

class CParagraphs : public CSmartPointerCollectionImpl<IParagraphs, IParagraph, CParagraph> {
public:
    IParagraph* Add(bool paragraphTag) override { return Append(paragraphTag); }
};

class CList : public IList {
public:
    const IParagraphs& GetParagraphs() const override { return m_paragraphs; }
    IParagraphs& GetParagraphs() override { return m_paragraphs; }
    const IAttributes& GetAttributes() const override { return m_attributes; }
    IAttributes& GetAttributes() override { return m_attributes; }
    void SetListItem(bool listItem) override { m_listItem = listItem; }
    bool IsListItem() const override { return m_listItem; }

private:
    CParagraphs m_paragraphs;
    CAttributes m_attributes;
    bool m_listItem = false;
};

class CLists : public CSmartPointerCollectionImpl<ILists, IList, CList> {
public:
    IList* Add() override { return Append(); }
};

class CTextFormat : public ITextFormat {
public:
    const ILists& GetLists() const override { return m_lists; }
    ILists& GetLists() override { return m_lists; }
    const IAttributes& GetAttributes() const override { return m_attributes; }
    IAttributes& GetAttributes() override { return m_attributes; }

private:
    CLists m_lists;
    CAttributes m_attributes;
};

class CTextFormats : public CSmartPointerCollectionImpl<ITextFormats, ITextFormat, CTextFormat> {
public:
    ITextFormat* Add() override { return Append(); }
};

class CFormattedText : public IFormattedText {
public:
    const ITextFormats& GetTextFormats() const override { return m_formats; }
    ITextFormats& GetTextFormats() override { return m_formats; }
    std::unique_ptr<IFormattedText> Clone() const override;
    std::string GetPlainText() const override;

private:
    CTextFormats m_formats;
};

}  // namespace htmlparser
