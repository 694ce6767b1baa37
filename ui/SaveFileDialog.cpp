#include "ui/SaveFileDialog.h"

#include <vector>

namespace fs = std::filesystem;

FileDialog::FileDialog(bool open, std::string defaultExtension, fs::path initialFileName, std::string filter)
    : m_open(open), m_defaultExtension(std::move(defaultExtension)), m_initial(std::move(initialFileName)),
      m_filter(std::move(filter))
{
}

namespace {

std::vector<std::string> SplitBars(const std::string& text)
{
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    for (auto bar = text.find('|'); bar != std::string::npos; bar = text.find('|', start)) {
        parts.push_back(text.substr(start, bar - start));
        start = bar + 1;
    }
    return parts;
}

bool ConfirmReplace(GtkWindow* parent, const fs::path& path)
{
    GtkWidget* ask = gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, GTK_MESSAGE_QUESTION, GTK_BUTTONS_YES_NO,
                                            "A file named \"%s\" already exists. Do you want to replace it?",
                                            path.filename().c_str());
    const int answer = gtk_dialog_run(GTK_DIALOG(ask));
    gtk_widget_destroy(ask);
    return answer == GTK_RESPONSE_YES;
}

}  // namespace

int FileDialog::DoModal(GtkWindow* owner)
{
    const bool save = !m_open;
    GtkWidget* dialog = gtk_file_chooser_dialog_new(save ? "Save As" : "Open", owner,
                                                    save ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN,
                                                    "_Cancel", GTK_RESPONSE_CANCEL, save ? "_Save" : "_Open",
                                                    GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    gtk_file_chooser_set_do_overwrite_confirmation(chooser, save);
    const std::vector<std::string> filter = SplitBars(m_filter);
    for (std::size_t i = 0; i + 1 < filter.size() && !filter[i].empty(); i += 2) {
        GtkFileFilter* f = gtk_file_filter_new();
        gtk_file_filter_set_name(f, filter[i].c_str());
        std::string::size_type start = 0;
        for (;;) {  // patterns are separated by ';'
            const auto semicolon = filter[i + 1].find(';', start);
            gtk_file_filter_add_pattern(f, filter[i + 1].substr(start, semicolon - start).c_str());
            if (semicolon == std::string::npos)
                break;
            start = semicolon + 1;
        }
        gtk_file_chooser_add_filter(chooser, f);
    }
    // An existing folder is where the dialog starts; otherwise the path's
    // folder and name.
    std::error_code ec;
    if (fs::is_directory(m_initial, ec)) {
        gtk_file_chooser_set_current_folder(chooser, m_initial.c_str());
    } else {
        if (m_initial.has_parent_path() && fs::is_directory(m_initial.parent_path(), ec))
            gtk_file_chooser_set_current_folder(chooser, m_initial.parent_path().c_str());
        if (save)
            gtk_file_chooser_set_current_name(chooser, m_initial.filename().c_str());
        else if (fs::exists(m_initial, ec))
            gtk_file_chooser_set_filename(chooser, m_initial.c_str());
    }

    int result = 2;
    while (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
        gchar* name = gtk_file_chooser_get_filename(chooser);
        if (name == nullptr)
            break;
        fs::path chosen = name;
        g_free(name);
        if (save && !chosen.has_extension() && !m_defaultExtension.empty()) {
            chosen += m_defaultExtension;
            // The chooser asked about the name as typed, not this one.
            if (fs::exists(chosen, ec) && !ConfirmReplace(GTK_WINDOW(dialog), chosen))
                continue;
        }
        m_path = chosen;
        result = 1;
        break;
    }
    gtk_widget_destroy(dialog);
    while (gtk_events_pending())
        gtk_main_iteration();
    return result;
}

std::optional<fs::path> ShowSaveDialog(const fs::path& proposed)
{
    FileDialog dialog(false, proposed.extension().string(), proposed, "PowerPoint presentation (*.pptx)|*.pptx||");
    if (dialog.DoModal() != 1)
        return std::nullopt;
    return dialog.GetPathName();
}
