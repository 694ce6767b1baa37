#pragma once
#include <gtk/gtk.h>

#include <filesystem>
#include <optional>
#include <string>

// The desktop's file dialog in save (or open) mode: one filter, a default
// extension added to a name typed without one, overwrite confirmation, and
// the initial folder and name taken from the initial path.
class FileDialog {
public:
    // filter: "description|pattern|" pairs, as "PowerPoint presentation
    // (*.pptx)|*.pptx||".
    FileDialog(bool open, std::string defaultExtension, std::filesystem::path initialFileName, std::string filter);

    // 1 when the user chose a file, 2 otherwise.
    int DoModal(GtkWindow* owner = nullptr);
    const std::filesystem::path& GetPathName() const { return m_path; }

private:
    bool m_open;
    std::string m_defaultExtension;
    std::filesystem::path m_initial;
    std::string m_filter;
    std::filesystem::path m_path;
};

// The Save dialog for a presentation, starting at proposed; nothing when
// cancelled. Needs an open desktop.
std::optional<std::filesystem::path> ShowSaveDialog(const std::filesystem::path& proposed);
