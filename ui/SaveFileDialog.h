#pragma once
#include <gtk/gtk.h>

#include <filesystem>
#include <optional>
#include <string>

namespace ui {

// The desktop's file dialog in save (or open) mode: one filter, the default
// extension added to a name that does not end with it (before the chooser's
// own replace question, so that it asks about the final name), and the
// initial folder and name taken from the initial path. A folder that does
// not exist gives way to the documents folder, else the home folder.
class FileDialog {
public:
    // filter: "description|pattern|" pairs, as "PowerPoint presentation
    // (*.pptx)|*.pptx||".
    FileDialog(bool open, std::string defaultExtension, std::filesystem::path initialFileName, std::string filter);

    // 1 when the user chose a file, 2 otherwise.
    int DoModal(GtkWindow* owner = nullptr);
    void SetTitle(std::string title) { m_title = std::move(title); }
    // A line above the buttons saying why the dialog is shown.
    void SetExplanation(std::string text) { m_explanation = std::move(text); }
    const std::filesystem::path& GetPathName() const { return m_path; }

private:
    bool m_open;
    std::string m_defaultExtension;
    std::filesystem::path m_initial;
    std::string m_filter;
    std::string m_explanation;
    std::string m_title;
    std::filesystem::path m_path;
};

// name with extension appended unless it already ends with it (in any case).
std::string WithExtension(const std::string& name, const std::string& extension);

// Where a file dialog starts when the folder it was given does not exist:
// the desktop's documents folder, else the home folder.
std::filesystem::path FallbackFolder();

// The Save dialog for a presentation, starting at proposed and saying that
// the presentation could not be saved in failedFolder for reason; nothing
// when cancelled. Needs an open desktop.
std::optional<std::filesystem::path> ShowSaveDialog(const std::filesystem::path& proposed,
                                                    const std::filesystem::path& failedFolder,
                                                    const std::string& reason);

// The Open dialog for a book package (the program's title as its title),
// starting in the documents folder; nothing when cancelled. Needs an open
// desktop.
std::optional<std::filesystem::path> ShowOpenBookDialog();

}  // namespace ui
