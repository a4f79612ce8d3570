// Ardmon's entry point: wx runs the application object's start-up and then
// the main loop, which ends when the main window is destroyed.
#include <wx/app.h>

#include "ardmon_app.h"

namespace {

class ArdmonWxApp final : public wxApp {
public:
    bool OnInit() override { return theApp.InitInstance(); }
};

}  // namespace

wxIMPLEMENT_APP(ArdmonWxApp);
