// The name assistive technology reads for a control whose face shows no text,
// such as a button that shows only an icon.
#pragma once

#include <wx/string.h>

class wxWindow;

namespace ardmon {

void SetAccessibleName(wxWindow& control, const wxString& name);

}  // namespace ardmon
