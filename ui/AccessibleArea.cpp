#include "ui/AccessibleArea.h"

#include <gtk/gtk-a11y.h>

namespace {

struct AreaAction {
    std::string name;
    std::function<void()> run;
};

const AreaAction* ActionOf(AtkAction* accessible)
{
    GtkWidget* widget = gtk_accessible_get_widget(GTK_ACCESSIBLE(accessible));
    return widget ? static_cast<const AreaAction*>(g_object_get_data(G_OBJECT(widget), "tralvex-action")) : nullptr;
}

}  // namespace

extern "C" {

typedef struct {
    GtkWidgetAccessible parent;
} TralvexAreaAccessible;
typedef struct {
    GtkWidgetAccessibleClass parent_class;
} TralvexAreaAccessibleClass;

static void tralvex_area_accessible_action_init(AtkActionIface* iface);
G_DEFINE_TYPE_WITH_CODE(TralvexAreaAccessible, tralvex_area_accessible, GTK_TYPE_WIDGET_ACCESSIBLE,
                        G_IMPLEMENT_INTERFACE(ATK_TYPE_ACTION, tralvex_area_accessible_action_init))

static void tralvex_area_accessible_class_init(TralvexAreaAccessibleClass*) {}
static void tralvex_area_accessible_init(TralvexAreaAccessible*) {}

static gint tralvex_area_accessible_n_actions(AtkAction* accessible)
{
    return ActionOf(accessible) ? 1 : 0;
}

static const gchar* tralvex_area_accessible_action_name(AtkAction* accessible, gint index)
{
    const AreaAction* action = ActionOf(accessible);
    return action && index == 0 ? action->name.c_str() : nullptr;
}

static gboolean tralvex_area_accessible_do_action(AtkAction* accessible, gint index)
{
    GtkWidget* widget = gtk_accessible_get_widget(GTK_ACCESSIBLE(accessible));
    if (index != 0 || ActionOf(accessible) == nullptr || !gtk_widget_is_sensitive(widget))
        return FALSE;
    g_idle_add_full(
        G_PRIORITY_DEFAULT_IDLE,
        [](gpointer data) -> gboolean {
            if (const auto* action = static_cast<const AreaAction*>(g_object_get_data(G_OBJECT(data), "tralvex-action")))
                if (action->run)
                    action->run();
            return FALSE;
        },
        g_object_ref(widget), g_object_unref);
    return TRUE;
}

static void tralvex_area_accessible_action_init(AtkActionIface* iface)
{
    iface->get_n_actions = tralvex_area_accessible_n_actions;
    iface->get_name = tralvex_area_accessible_action_name;
    iface->do_action = tralvex_area_accessible_do_action;
}

typedef struct {
    GtkDrawingArea parent;
} TralvexArea;
typedef struct {
    GtkDrawingAreaClass parent_class;
} TralvexAreaClass;

G_DEFINE_TYPE(TralvexArea, tralvex_area, GTK_TYPE_DRAWING_AREA)

static void tralvex_area_class_init(TralvexAreaClass* klass)
{
    gtk_widget_class_set_accessible_type(GTK_WIDGET_CLASS(klass), tralvex_area_accessible_get_type());
}
static void tralvex_area_init(TralvexArea*) {}

}  // extern "C"

namespace ui {

GtkWidget* NewAccessibleArea()
{
    return GTK_WIDGET(g_object_new(tralvex_area_get_type(), nullptr));
}

void SetAccessibleRole(GtkWidget* widget, AtkRole role)
{
    atk_object_set_role(gtk_widget_get_accessible(widget), role);
}

void SetAccessibleName(GtkWidget* widget, const std::string& name)
{
    atk_object_set_name(gtk_widget_get_accessible(widget), name.c_str());
}

void SetAccessibleAction(GtkWidget* area, const char* name, std::function<void()> action)
{
    g_object_set_data_full(G_OBJECT(area), "tralvex-action", new AreaAction{name, std::move(action)},
                           [](gpointer data) { delete static_cast<AreaAction*>(data); });
}

}  // namespace ui
