#pragma once
#include <gtk/gtk.h>

#include <functional>
#include <string>

// What assistive technology (screen readers, through at-spi2) learns about
// the parts the program draws itself: a role, a name and, for controls, one
// action that does what a click does.
namespace ui {

// A drawing area (with a floating reference) whose accessible object can
// carry an action.
GtkWidget* NewAccessibleArea();

void SetAccessibleRole(GtkWidget* widget, AtkRole role);
void SetAccessibleName(GtkWidget* widget, const std::string& name);
// name: the action's name ("activate", "click"); the action runs from the
// main loop, never inside the assistive technology's request.
void SetAccessibleAction(GtkWidget* area, const char* name, std::function<void()> action);

}  // namespace ui
