// The stand-in linked into the test program, registered for this process
// only (as CoRegisterClassObject would): the export then drives it
// in-process, whatever the system has registered.
#include "registry/ClassRegistry.h"
#include "standin/Standin.h"
#include "workbook/WorkbookExport.h"

void RegisterInProcessStandin(bool registered) {
    auto& registry = ledgra::ClassRegistry::Instance();
    if (registered)
        registry.Register(ledgra::workbook::kExcelProgId, [] { return ledgra::standin::NewApplication(); });
    else
        registry.Unregister(ledgra::workbook::kExcelProgId);
}
