// ledgra_text is the library's std::string seen through the C interface: the
// handle is the string's address, never a separate object.
#pragma once

#include <ledgra/ledgra.h>

#include <string>

namespace ledgra {

inline ledgra_text* AsText(std::string& text) { return reinterpret_cast<ledgra_text*>(&text); }
inline std::string& FromText(ledgra_text* text) { return *reinterpret_cast<std::string*>(text); }
inline const std::string& FromText(const ledgra_text* text) {
    return *reinterpret_cast<const std::string*>(text);
}

}  // namespace ledgra
