#include <wx/button.h>
#include <wx/combobox.h>
#include <wx/dataview.h>
#include <wx/dialog.h>
#include <wx/listbox.h>
#include <wx/menuitem.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "accessible_name.h"
#include "dialog_template.h"
#include "text_conv.h"

namespace ardmon {

namespace {

wxRect ToPixels(wxDialog& dlg, const ControlTemplate& c)
{
    // A Windows template maps the two corners, not origin and size.
    const wxPoint top_left = dlg.ConvertDialogToPixels(wxPoint(c.x, c.y));
    const wxPoint bottom_right = dlg.ConvertDialogToPixels(wxPoint(c.x + c.cx, c.y + c.cy));
    return wxRect(top_left, wxSize(bottom_right.x - top_left.x, bottom_right.y - top_left.y));
}

long BorderFlag(const ControlTemplate& c)
{
    return (c.style & CS_BORDER) ? wxBORDER_THEME : wxBORDER_DEFAULT;
}

wxWindow* MakeControl(wxDialog& dlg, const ControlTemplate& c)
{
    const wxRect r = ToPixels(dlg, c);
    // Controls without an id get one from wx first and take -1 afterwards.
    const wxWindowID id = c.id == IDC_STATIC ? wxID_ANY : c.id;
    const wxString text = ToWx(c.text);
    wxWindow* w = nullptr;
    switch (c.kind) {
        case ControlKind::PushButton: {
            long style = 0;
            if (c.style & CS_FLAT) {
                style |= wxBORDER_NONE;
            }
            if (c.style & CS_ICON) {
                style |= wxBU_NOTEXT;
            }
            auto* button = new wxButton(&dlg, id, text, r.GetPosition(), r.GetSize(), style);
            if (c.style & CS_ICON) {
                // The text stays the button's label and becomes its tooltip
                // and the name that assistive technology reads.
                button->SetLabel(text);
                button->SetToolTip(wxStripMenuCodes(text));
                SetAccessibleName(*button, wxStripMenuCodes(text));
            }
            if (c.style & CS_DEFAULT) {
                button->SetDefault();
            }
            w = button;
            break;
        }
        case ControlKind::GroupBox:
            w = new wxStaticBox(&dlg, id, text, r.GetPosition(), r.GetSize());
            break;
        case ControlKind::StaticText:
            w = new wxStaticText(&dlg, id, text, r.GetPosition(), r.GetSize(), wxST_NO_AUTORESIZE);
            break;
        case ControlKind::Edit: {
            long style = BorderFlag(c);
            if (c.style & CS_READONLY) {
                style |= wxTE_READONLY;
            }
            w = new wxTextCtrl(&dlg, id, text, r.GetPosition(), r.GetSize(), style);
            break;
        }
        case ControlKind::ComboBox: {
            long style = wxCB_DROPDOWN;
            if (c.style & CS_SORT) {
                style |= wxCB_SORT;
            }
            w = new wxComboBox(&dlg, id, text, r.GetPosition(), wxSize(r.GetWidth(), -1), 0, nullptr, style);
            break;
        }
        case ControlKind::ListBox: {
            long style = wxLB_SINGLE | BorderFlag(c);
            if (c.style & CS_SORT) {
                style |= wxLB_SORT;
            }
            if (c.style & CS_HSCROLL) {
                style |= wxLB_HSCROLL;
            }
            w = new wxListBox(&dlg, id, r.GetPosition(), r.GetSize(), 0, nullptr, style);
            break;
        }
        case ControlKind::ListView:
            // Always a report, rows selectable several at a time as in a list
            // view without single selection; GTK's own tree view, which
            // assistive technology reads row by row and cell by cell.
            w = new wxDataViewListCtrl(&dlg, id, r.GetPosition(), r.GetSize(), wxDV_MULTIPLE | BorderFlag(c));
            break;
    }
    if (c.id == IDC_STATIC) {
        w->SetId(IDC_STATIC);
    }
    if (c.style & CS_HIDDEN) {
        w->Hide();
    }
    return w;
}

}  // namespace

bool CreateFromTemplate(wxDialog& dlg, wxWindow* parent, int template_id)
{
    const DialogTemplate* found = FindDialogTemplate(template_id);
    if (found == nullptr) {
        return false;
    }
    const DialogTemplate& tmpl = *found;
    long style = wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX;
    if (tmpl.style & DS_RESIZABLE) {
        style |= wxRESIZE_BORDER;
    }
    if (!dlg.Create(parent, wxID_ANY, ToWx(tmpl.caption), wxDefaultPosition, wxDefaultSize, style)) {
        return false;
    }
    dlg.SetClientSize(dlg.ConvertDialogToPixels(wxSize(tmpl.cx, tmpl.cy)));

    // Group boxes go first: GTK draws siblings in creation order, and a frame
    // made after the controls inside it would be drawn over them. They take
    // no focus, so the tab order of the other controls stays the template's.
    for (const ControlTemplate& c : tmpl.controls) {
        if (c.kind == ControlKind::GroupBox) {
            MakeControl(dlg, c);
        }
    }
    for (const ControlTemplate& c : tmpl.controls) {
        if (c.kind != ControlKind::GroupBox) {
            MakeControl(dlg, c);
        }
    }
    return true;
}

}  // namespace ardmon
