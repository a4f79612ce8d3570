// The requests the workbook export sends to the spreadsheet application, one
// thin holder class per object kind. Each operation is exactly one InvokeHelper
// call with the member's DISPID, invoke kind, result type and argument-type
// list; none adds logic. Operations returning an object give an interface
// with one reference that the caller hands to a holder.
#pragma once

#include "automation/DispatchDriver.h"

#include <string>

namespace ledgra {

class CApplication : public COleDispatchDriver {
public:
    using COleDispatchDriver::COleDispatchDriver;
    void put_Visible(bool visible);              // Visible, 558
    IDispatch* get_Workbooks();                  // Workbooks, 572
    std::string get_Version();                   // Version, 392
    void put_DisplayAlerts(bool displayAlerts);  // DisplayAlerts, 343
    void put_UserControl(bool userControl);      // UserControl, 1210
};

class CWorkbooks : public COleDispatchDriver {
public:
    using COleDispatchDriver::COleDispatchDriver;
    // Open, 682: the file name, then UpdateLinks, ReadOnly, Format, Password,
    // WriteResPassword, IgnoreReadOnlyRecommended, Origin, Delimiter, Editable,
    // Notify, Converter, AddToMru.
    IDispatch* Open(const std::string& fileName, const Variant& updateLinks, const Variant& readOnly,
                    const Variant& format, const Variant& password, const Variant& writeResPassword,
                    const Variant& ignoreReadOnlyRecommended, const Variant& origin, const Variant& delimiter,
                    const Variant& editable, const Variant& notify, const Variant& converter,
                    const Variant& addToMru);
};

class CWorkbook : public COleDispatchDriver {
public:
    using COleDispatchDriver::COleDispatchDriver;
    IDispatch* get_Sheets();     // Sheets, 485
    void Save();                 // Save, 283
    void put_Saved(bool saved);  // Saved, 298
};

class CSheets : public COleDispatchDriver {
public:
    using COleDispatchDriver::COleDispatchDriver;
    IDispatch* get_Item(const Variant& index);  // Item, 170
    // Add, 181
    IDispatch* Add(const Variant& before, const Variant& after, const Variant& count, const Variant& type);
};

class CWorksheet : public COleDispatchDriver {
public:
    using COleDispatchDriver::COleDispatchDriver;
    std::string get_Name();                                            // Name, 110
    void put_Name(const std::string& name);                            // Name, 110
    IDispatch* get_Range(const Variant& cell1, const Variant& cell2);  // Range, 197
    // SaveAs, 284: the file name and format, then Password, WriteResPassword,
    // ReadOnlyRecommended, CreateBackup, AddToMru, TextCodepage, TextVisualLayout.
    void SaveAs(const std::string& fileName, const Variant& fileFormat, const Variant& password,
                const Variant& writeResPassword, const Variant& readOnlyRecommended,
                const Variant& createBackup, const Variant& addToMru, const Variant& textCodepage,
                const Variant& textVisualLayout);
};

class CRange : public COleDispatchDriver {
public:
    using COleDispatchDriver::COleDispatchDriver;
    void put_NumberFormat(const Variant& format);                              // NumberFormat, 193
    void put_Value(const Variant& value);                                      // Value, 6
    IDispatch* get_Resize(const Variant& rowSize, const Variant& columnSize);  // Resize, 256
};

// The DISPIDs of the members above.
namespace dispid {
inline constexpr DISPID Value = 6;
inline constexpr DISPID Name = 110;
inline constexpr DISPID Item = 170;
inline constexpr DISPID Add = 181;
inline constexpr DISPID NumberFormat = 193;
inline constexpr DISPID Range = 197;
inline constexpr DISPID Resize = 256;
inline constexpr DISPID Save = 283;
inline constexpr DISPID SaveAs = 284;
inline constexpr DISPID Saved = 298;
inline constexpr DISPID DisplayAlerts = 343;
inline constexpr DISPID Version = 392;
inline constexpr DISPID Sheets = 485;
inline constexpr DISPID Visible = 558;
inline constexpr DISPID Workbooks = 572;
inline constexpr DISPID Open = 682;
inline constexpr DISPID UserControl = 1210;
}  // namespace dispid

}  // namespace ledgra
