// Build tool: turns one of Ardmon's XPM icons into the PNG that the desktop
// entry shows, at the size the icon theme folder asks for.
//   halvo-xpm-to-png IN.xpm OUT.png SIZE
#include <wx/image.h>
#include <wx/init.h>
#include <wx/log.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s IN.xpm OUT.png SIZE\n", argv[0]);
        return 2;
    }
    wxInitializer init;
    if (!init.IsOk()) {
        std::fprintf(stderr, "cannot initialise wxWidgets\n");
        return 1;
    }
    wxLog::SetActiveTarget(new wxLogStderr);
    wxImage::AddHandler(new wxXPMHandler);
    wxImage::AddHandler(new wxPNGHandler);
    wxImage image;
    if (!image.LoadFile(argv[1], wxBITMAP_TYPE_XPM)) return 1;
    const int size = std::atoi(argv[3]);
    if (size > 0 && (image.GetWidth() != size || image.GetHeight() != size))
        image.Rescale(size, size, wxIMAGE_QUALITY_HIGH);
    return image.SaveFile(argv[2], wxBITMAP_TYPE_PNG) ? 0 : 1;
}
