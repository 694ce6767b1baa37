#include "ui/CustomMessageBox.h"

#include "ui/Desktop.h"

namespace ui {

void OpenUrl(const std::string& address, GtkWindow* owner)
{
    GError* error = nullptr;
    if (OpenDesktop())
        gtk_show_uri_on_window(owner, address.c_str(), GDK_CURRENT_TIME, &error);
    else
        g_app_info_launch_default_for_uri(address.c_str(), nullptr, &error);
    if (error)
        g_error_free(error);
}

}  // namespace ui
