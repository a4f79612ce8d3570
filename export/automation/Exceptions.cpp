#include "automation/Exceptions.h"

#include <cstdio>

namespace ledgra {

namespace {
std::string StatusWhat(SCODE sc) {
    char text[48];
    std::snprintf(text, sizeof text, "automation error 0x%08X", static_cast<unsigned>(sc));
    return text;
}
}  // namespace

COleException::COleException(SCODE sc) : CException(StatusWhat(sc)), m_sc(sc) {}

COleDispatchException::COleDispatchException(SCODE scError, std::string description, std::string source)
    : CException(description.empty() ? StatusWhat(scError) : description),
      m_scError(scError),
      m_strDescription(std::move(description)),
      m_strSource(std::move(source)) {}

void ThrowOleException(SCODE sc) { throw COleException(sc); }

}  // namespace ledgra
