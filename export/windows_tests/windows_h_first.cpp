// A Windows host that includes <windows.h> before Ledgra's headers compiles,
// and the dialog answers keep their values.
#include <windows.h>

#include <commdlg.h>

#include <ledgra/LedgraInteraction.h>
#include <ledgra/LedgraInterface.h>

static_assert(IDOK == 1 && IDNO == 7 && MB_YESNO == 4 && OFN_OVERWRITEPROMPT == 2);
