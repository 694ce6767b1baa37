#pragma once
#include "ui/WindowTree.h"

#include <gtk/gtk.h>

#include <memory>
#include <string>
#include <vector>

namespace ui {

// A GTK widget seen as a window of the translation walk: a window's text is
// its title, a label's its text, a button's its label, and the program's
// drawn controls give their own text. Children are the container's
// children; a button whose label is its own text has none.
class GtkWindowNode : public IWindowNode {
public:
    explicit GtkWindowNode(GtkWidget* widget) : m_widget(widget) {}
    std::string GetText() const override;
    void SetText(const std::string& text) override;
    std::vector<IWindowNode*> GetChildren() const override;

private:
    GtkWidget* m_widget;
    mutable std::vector<std::unique_ptr<GtkWindowNode>> m_children;
};

template <class Translator>
void TranslateGtkWindowTree(GtkWidget* window, const Translator& translator)
{
    GtkWindowNode node(window);
    TranslateWindowTree(node, translator);
}

}  // namespace ui
