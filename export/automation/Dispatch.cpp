#include "automation/Dispatch.h"

namespace ledgra {

unsigned long DispatchObject::Release() noexcept {
    const unsigned long refs = --m_nRefs;
    if (refs == 0) delete this;
    return refs;
}

HRESULT DispatchObject::RaiseException(ExcepInfo* excepInfo, SCODE scode, std::string description,
                                       std::string source) {
    if (excepInfo) {
        excepInfo->scode = scode;
        excepInfo->description = std::move(description);
        excepInfo->source = std::move(source);
    }
    return DISP_E_EXCEPTION;
}

}  // namespace ledgra
