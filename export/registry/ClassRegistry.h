// Ledgra's registry of automation classes: what HKEY_CLASSES_ROOT is to the
// Windows original. A ProgID maps to a factory that creates the class's
// application object; the automation layer creates objects through it.
#pragma once

#include <functional>
#include <string>

namespace ledgra {

class IDispatch;  // defined by the automation layer

// Creates one new object with one reference owned by the caller, or returns null.
using ClassFactory = std::function<IDispatch*()>;

class ClassRegistry {
public:
    static ClassRegistry& Instance();

    // Registers (or replaces) a class under its ProgID.
    void Register(const std::string& progId, ClassFactory factory);
    void Unregister(const std::string& progId);
    // Windows status of opening the ProgID's key: 0 (ERROR_SUCCESS) or 2 (ERROR_FILE_NOT_FOUND).
    long Open(const std::string& progId) const;
    // The factory registered under progId, or an empty function.
    ClassFactory Factory(const std::string& progId) const;
};

// System text of a Windows status or HRESULT, as FormatMessageA gives it
// ("The operation completed successfully." for 0), without the trailing line
// break; empty when the system has no text for the status.
std::string SystemMessageText(long status);

}  // namespace ledgra
