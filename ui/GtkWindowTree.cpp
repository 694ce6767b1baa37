#include "ui/GtkWindowTree.h"

#include "ui/GtkSupport.h"

namespace ui {

std::string GtkWindowNode::GetText() const
{
    if (const ui::ITextWidget* control = ui::FindTextWidget(m_widget))
        return control->GetText();
    const char* text = nullptr;
    if (GTK_IS_WINDOW(m_widget))
        text = gtk_window_get_title(GTK_WINDOW(m_widget));
    else if (GTK_IS_LABEL(m_widget))
        text = gtk_label_get_text(GTK_LABEL(m_widget));
    else if (GTK_IS_BUTTON(m_widget))
        text = gtk_button_get_label(GTK_BUTTON(m_widget));
    return text != nullptr ? text : "";
}

void GtkWindowNode::SetText(const std::string& text)
{
    if (ui::ITextWidget* control = ui::FindTextWidget(m_widget))
        control->SetText(text);
    else if (GTK_IS_WINDOW(m_widget))
        gtk_window_set_title(GTK_WINDOW(m_widget), text.c_str());
    else if (GTK_IS_LABEL(m_widget))
        gtk_label_set_text(GTK_LABEL(m_widget), text.c_str());
    else if (GTK_IS_BUTTON(m_widget))
        gtk_button_set_label(GTK_BUTTON(m_widget), text.c_str());
}

std::vector<IWindowNode*> GtkWindowNode::GetChildren() const
{
    m_children.clear();
    std::vector<IWindowNode*> children;
    // The label inside a button is the button's own text.
    if (!GTK_IS_CONTAINER(m_widget) || (GTK_IS_BUTTON(m_widget) && gtk_button_get_label(GTK_BUTTON(m_widget))))
        return children;
    GList* list = gtk_container_get_children(GTK_CONTAINER(m_widget));
    for (GList* item = list; item != nullptr; item = item->next) {
        m_children.push_back(std::make_unique<GtkWindowNode>(GTK_WIDGET(item->data)));
        children.push_back(m_children.back().get());
    }
    g_list_free(list);
    return children;
}

}  // namespace ui
