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

// A push button; one showing an icon keeps its text as label, tooltip and
// the name that assistive technology reads.
wxWindow* MakeButton(wxDialog& dlg, wxWindowID id, const wxString& text, const wxRect& r,
                     const ControlTemplate& c)
{
    long style = 0;
    if (c.style & CS_FLAT) {
        style |= wxBORDER_NONE;
    }
    if (c.style & CS_ICON) {
        style |= wxBU_NOTEXT;
    }
    auto* button = new wxButton(&dlg, id, text, r.GetPosition(), r.GetSize(), style);
    if (c.style & CS_ICON) {
        button->SetLabel(text);
        button->SetToolTip(wxStripMenuCodes(text));
        SetAccessibleName(*button, wxStripMenuCodes(text));
    }
    if (c.style & CS_DEFAULT) {
        button->SetDefault();
    }
    return button;
}

wxWindow* MakeEdit(wxDialog& dlg, wxWindowID id, const wxString& text, const wxRect& r,
                   const ControlTemplate& c)
{
    long style = BorderFlag(c);
    if (c.style & CS_READONLY) {
        style |= wxTE_READONLY;
    }
    return new wxTextCtrl(&dlg, id, text, r.GetPosition(), r.GetSize(), style);
}

wxWindow* MakeComboBox(wxDialog& dlg, wxWindowID id, const wxString& text, const wxRect& r,
                       const ControlTemplate& c)
{
    long style = wxCB_DROPDOWN;
    if (c.style & CS_SORT) {
        style |= wxCB_SORT;
    }
    return new wxComboBox(&dlg, id, text, r.GetPosition(), wxSize(r.GetWidth(), -1), 0, nullptr, style);
}

wxWindow* MakeListBox(wxDialog& dlg, wxWindowID id, const wxRect& r, const ControlTemplate& c)
{
    long style = wxLB_SINGLE | BorderFlag(c);
    if (c.style & CS_SORT) {
        style |= wxLB_SORT;
    }
    if (c.style & CS_HSCROLL) {
        style |= wxLB_HSCROLL;
    }
    return new wxListBox(&dlg, id, r.GetPosition(), r.GetSize(), 0, nullptr, style);
}

// Always a report, rows selectable several at a time as in a list view
// without single selection; GTK's own tree view, which assistive technology
// reads row by row and cell by cell.
wxWindow* MakeListView(wxDialog& dlg, wxWindowID id, const wxRect& r, const ControlTemplate& c)
{
    return new wxDataViewListCtrl(&dlg, id, r.GetPosition(), r.GetSize(), wxDV_MULTIPLE | BorderFlag(c));
}

wxWindow* MakeControlOfKind(wxDialog& dlg, wxWindowID id, const ControlTemplate& c)
{
    const wxRect r = ToPixels(dlg, c);
    const wxString text = ToWx(c.text);
    switch (c.kind) {
        case ControlKind::PushButton:
            return MakeButton(dlg, id, text, r, c);
        case ControlKind::GroupBox:
            return new wxStaticBox(&dlg, id, text, r.GetPosition(), r.GetSize());
        case ControlKind::StaticText:
            return new wxStaticText(&dlg, id, text, r.GetPosition(), r.GetSize(), wxST_NO_AUTORESIZE);
        case ControlKind::Edit:
            return MakeEdit(dlg, id, text, r, c);
        case ControlKind::ComboBox:
            return MakeComboBox(dlg, id, text, r, c);
        case ControlKind::ListBox:
            return MakeListBox(dlg, id, r, c);
        case ControlKind::ListView:
            return MakeListView(dlg, id, r, c);
    }
    return nullptr;
}

wxWindow* MakeControl(wxDialog& dlg, const ControlTemplate& c)
{
    // Controls without an id get one from wx first and take -1 afterwards.
    wxWindow* w = MakeControlOfKind(dlg, c.id == IDC_STATIC ? wxID_ANY : c.id, c);
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
