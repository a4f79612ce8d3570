// Registers the stand-in application when the library is loaded, as
// installing the spreadsheet application registers its ProgID.
#include "standin/Standin.h"

namespace {

const struct Registration {
    Registration() { ledgra::standin::RegisterApplication(); }
} registration;

}  // namespace
