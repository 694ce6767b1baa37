#pragma once
#include <string>
#include <vector>

namespace ui {

// The little a translation walk needs to know of a window: its text and its
// direct children. A GUI wraps its widgets in this; tests use plain objects.
class IWindowNode {
public:
    virtual ~IWindowNode() = default;
    virtual std::string GetText() const = 0;
    virtual void SetText(const std::string& text) = 0;
    virtual std::vector<IWindowNode*> GetChildren() const = 0;
};

// Replaces the text of window and of every window below it by its
// translation wherever the whole text is a known id. Empty texts and texts
// that are no id stay as they are. Every window is visited once, parents
// before children, without recursion so that deep trees cannot exhaust the
// stack. Translator: any type with Translate(id) and HasTranslation(id), for
// example CDefaultTranslator.
template <class Translator>
void TranslateWindowTree(IWindowNode& window, const Translator& translator)
{
    std::vector<IWindowNode*> pending{&window};
    while (!pending.empty()) {
        IWindowNode* node = pending.back();
        pending.pop_back();
        const std::string text = node->GetText();
        if (!text.empty() && translator.HasTranslation(text))
            node->SetText(translator.Translate(text));
        const std::vector<IWindowNode*> children = node->GetChildren();
        // Reversed so that the first child is visited first.
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            if (*it != nullptr)
                pending.push_back(*it);
    }
}

}  // namespace ui
