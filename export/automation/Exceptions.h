// The two kinds of automation error a request can raise, with the fields the
// error reports use.
#pragma once

#include "automation/Types.h"

#include <exception>
#include <string>

namespace ledgra {

class CException : public std::exception {
public:
    const char* what() const noexcept override { return m_strWhat.c_str(); }

protected:
    explicit CException(std::string what) : m_strWhat(std::move(what)) {}

private:
    std::string m_strWhat;
};

// Any failure of a request other than an exception the application reported.
class COleException : public CException {
public:
    explicit COleException(SCODE sc);
    SCODE m_sc;
};

// The application reported an exception (DISP_E_EXCEPTION).
class COleDispatchException : public CException {
public:
    COleDispatchException(SCODE scError, std::string description, std::string source = {});
    SCODE m_scError;
    std::string m_strDescription;
    std::string m_strSource;
};

// AfxThrowOleException.
[[noreturn]] void ThrowOleException(SCODE sc);

}  // namespace ledgra
