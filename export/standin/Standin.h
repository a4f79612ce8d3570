// The stand-in spreadsheet application: an in-process automation server that
// answers the requests of the workbook export the way the spreadsheet
// application does and writes real Excel 97-2003 workbooks. It is registered
// under "Excel.Application" when the library loads; the export reaches it only
// through the automation layer.
#pragma once

#include "automation/Dispatch.h"
#include "automation/Variant.h"

#include <cstdint>
#include <functional>
#include <string>

namespace ledgra::standin {

inline constexpr const char* kProgId = "Excel.Application";
inline constexpr const char* kVersion = "16.0";

// A new application object with one reference for the caller.
IDispatch* NewApplication();

// A block of cells as a range's Value takes it, read where it lies: a COM
// server hands over the system's array of a request this way, without
// building the library's own array from it first.
class CellBlock {
public:
    virtual std::uint32_t Rows() const = 0;
    virtual std::uint32_t Columns() const = 0;
    // The cell at (row, column), valid until the next call; each is a value
    // a cell can hold (VT_EMPTY, VT_I2, VT_I4, VT_INT, VT_R8, VT_BSTR,
    // VT_BOOL, VT_ERROR).
    virtual const Variant& At(std::uint32_t row, std::uint32_t column) = 0;

protected:
    ~CellBlock() = default;
};

// Sets block as the Value of range, an object of NewApplication's model, as
// a Value put of the library's own array of those cells does;
// DISP_E_MEMBERNOTFOUND when range is no range.
HRESULT PutRangeValue(IDispatch* range, CellBlock& block, ExcepInfo* info);

// Registers NewApplication under kProgId (done once when the library loads).
void RegisterApplication();

// How the application hands a saved workbook to the desktop when the last
// reference to it goes while it is visible and under the user's control. The
// default runs xdg-open. The opener is asked only when DISPLAY or
// WAYLAND_DISPLAY is set and LEDGRA_OPEN_WORKBOOK is not "0". Null restores
// the default.
using DesktopOpener = std::function<void(const std::string& path)>;
void SetDesktopOpener(DesktopOpener opener);

}  // namespace ledgra::standin
