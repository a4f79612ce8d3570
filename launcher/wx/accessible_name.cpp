#include "accessible_name.h"

#include <wx/window.h>

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

namespace ardmon {

// wx offers no accessible name on GTK: the widget's ATK object carries it, and
// the desktop's accessibility bus reads it from there.
void SetAccessibleName(wxWindow& control, const wxString& name)
{
#ifdef __WXGTK__
    if (AtkObject* accessible = gtk_widget_get_accessible(control.GetHandle())) {
        atk_object_set_name(accessible, name.utf8_str());
    }
#else
    control.SetName(name);
#endif
}

}  // namespace ardmon
