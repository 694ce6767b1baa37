#include "ui/SaveFileDialog.h"

#include "ui/MessageCatalogue.h"

#include <cstring>
#include <vector>

namespace ui {

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

bool NamesFolder(GtkFileChooser* chooser, const char* name)
{
    gchar* folder = gtk_file_chooser_get_current_folder(chooser);
    std::error_code ec;
    const bool isFolder = folder != nullptr && fs::is_directory(fs::path(folder) / name, ec);
    g_free(folder);
    return isFolder;
}

// Appends the extension to the typed name when a dialog answers "accept",
// before the chooser looks at the name: its replace question is then about
// the file that will really be written. An emission hook runs ahead of the
// chooser's own response handler.
class ExtensionOnAccept {
public:
    ExtensionOnAccept(GtkWidget* dialog, std::string extension)
        : m_dialog(dialog), m_extension(std::move(extension)), m_signal(g_signal_lookup("response", GTK_TYPE_DIALOG)),
          m_hook(g_signal_add_emission_hook(m_signal, 0, &ExtensionOnAccept::OnResponse, this, nullptr))
    {
    }
    ~ExtensionOnAccept() { g_signal_remove_emission_hook(m_signal, m_hook); }
    ExtensionOnAccept(const ExtensionOnAccept&) = delete;
    ExtensionOnAccept& operator=(const ExtensionOnAccept&) = delete;

private:
    static gboolean OnResponse(GSignalInvocationHint*, guint count, const GValue* values, gpointer data)
    {
        auto* self = static_cast<ExtensionOnAccept*>(data);
        if (count < 2 || g_value_get_object(&values[0]) != self->m_dialog
            || g_value_get_int(&values[1]) != GTK_RESPONSE_ACCEPT)
            return TRUE;
        GtkFileChooser* chooser = GTK_FILE_CHOOSER(self->m_dialog);
        if (gchar* name = gtk_file_chooser_get_current_name(chooser)) {
            // A folder's name opens that folder, as the chooser does.
            if (*name != '\0' && std::strchr(name, '/') == nullptr && !NamesFolder(chooser, name)) {
                const std::string final = WithExtension(name, self->m_extension);
                if (final != name)
                    gtk_file_chooser_set_current_name(chooser, final.c_str());
            }
            g_free(name);
        }
        return TRUE;
    }

    GtkWidget* m_dialog;
    std::string m_extension;
    guint m_signal;
    gulong m_hook;
};

}  // namespace

int FileDialog::DoModal(GtkWindow* owner)
{
    const bool save = !m_open;
    const std::string title = !m_title.empty() ? m_title : save ? "Save As"
                                                                : "Open";
    GtkWidget* dialog = gtk_file_chooser_dialog_new(title.c_str(), owner,
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
    if (!m_explanation.empty()) {
        GtkWidget* line = gtk_label_new(m_explanation.c_str());
        gtk_widget_set_name(line, "tralvex-dialog-explanation");
        gtk_label_set_line_wrap(GTK_LABEL(line), TRUE);
        gtk_label_set_xalign(GTK_LABEL(line), 0);
        gtk_label_set_selectable(GTK_LABEL(line), TRUE);
        gtk_file_chooser_set_extra_widget(chooser, line);
    }
    // An existing folder is where the dialog starts; otherwise the path's
    // folder and name. Never the working folder, which for a program started
    // from a launcher is "/".
    std::error_code ec;
    if (fs::is_directory(m_initial, ec)) {
        gtk_file_chooser_set_current_folder(chooser, m_initial.c_str());
    } else {
        const fs::path folder = m_initial.parent_path();
        gtk_file_chooser_set_current_folder(
            chooser, (!folder.empty() && fs::is_directory(folder, ec) ? folder : FallbackFolder()).c_str());
        if (save)
            gtk_file_chooser_set_current_name(chooser, m_initial.filename().c_str());
        else if (fs::exists(m_initial, ec))
            gtk_file_chooser_set_filename(chooser, m_initial.c_str());
    }

    int result = 2;
    {
        std::optional<ExtensionOnAccept> extension;
        if (save && !m_defaultExtension.empty())
            extension.emplace(dialog, m_defaultExtension);
        if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
            if (gchar* name = gtk_file_chooser_get_filename(chooser)) {
                m_path = name;
                g_free(name);
                result = 1;
            }
        }
    }
    gtk_widget_destroy(dialog);
    while (gtk_events_pending())
        gtk_main_iteration();
    return result;
}

std::string WithExtension(const std::string& name, const std::string& extension)
{
    if (name.size() >= extension.size()
        && g_ascii_strcasecmp(name.c_str() + name.size() - extension.size(), extension.c_str()) == 0)
        return name;
    return name + extension;
}

fs::path FallbackFolder()
{
    std::error_code ec;
    if (const char* documents = g_get_user_special_dir(G_USER_DIRECTORY_DOCUMENTS))
        if (fs::is_directory(documents, ec))
            return documents;
    // $HOME first: GLib keeps the home folder it saw first.
    const char* home = g_getenv("HOME");
    return home != nullptr && *home != '\0' ? fs::path(home) : fs::path(g_get_home_dir());
}

std::optional<fs::path> ShowSaveDialog(const fs::path& proposed, const fs::path& failedFolder, const std::string& reason)
{
    FileDialog dialog(false, ".pptx", proposed, "PowerPoint presentation (*.pptx)|*.pptx||");
    std::string why = "The presentation could not be saved in \u201C" + failedFolder.string() + "\u201D";
    why += reason.empty() ? "." : ": " + reason + ".";
    dialog.SetExplanation(why + " Choose another place to save it.");
    if (dialog.DoModal() != 1)
        return std::nullopt;
    return dialog.GetPathName();
}

std::optional<fs::path> ShowOpenBookDialog()
{
    FileDialog dialog(true, {}, FallbackFolder(), "Book packages (*.mordx)|*.mordx|All files|*|");
    if (HasTranslation("TRALVEX_APP_TITLE"))
        dialog.SetTitle(Translate("TRALVEX_APP_TITLE"));
    if (dialog.DoModal() != 1)
        return std::nullopt;
    return dialog.GetPathName();
}

}  // namespace ui
