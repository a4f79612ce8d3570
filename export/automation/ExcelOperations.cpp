#include "automation/ExcelOperations.h"

namespace ledgra {

namespace {

// The argument-type lists, one zero-terminated byte string per signature.
const BYTE kParamsBool[] = {VTS_BOOL, 0};
const BYTE kParamsBstr[] = {VTS_BSTR, 0};
const BYTE kParamsVariant[] = {VTS_VARIANT, 0};
const BYTE kParamsVariant2[] = {VTS_VARIANT, VTS_VARIANT, 0};
const BYTE kParamsVariant4[] = {VTS_VARIANT, VTS_VARIANT, VTS_VARIANT, VTS_VARIANT, 0};
const BYTE kParamsOpen[] = {
    VTS_BSTR,    VTS_VARIANT, VTS_VARIANT, VTS_VARIANT, VTS_VARIANT, VTS_VARIANT, VTS_VARIANT,
    VTS_VARIANT, VTS_VARIANT, VTS_VARIANT, VTS_VARIANT, VTS_VARIANT, VTS_VARIANT, 0};
const BYTE kParamsSaveAs[] = {VTS_BSTR,    VTS_VARIANT, VTS_VARIANT, VTS_VARIANT, VTS_VARIANT,
                              VTS_VARIANT, VTS_VARIANT, VTS_VARIANT, VTS_VARIANT, 0};

}  // namespace

void CApplication::put_Visible(bool visible) {
    InvokeHelper(dispid::Visible, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, kParamsBool, visible);
}

IDispatch* CApplication::get_Workbooks() {
    IDispatch* result = nullptr;
    InvokeHelper(dispid::Workbooks, DISPATCH_PROPERTYGET, VT_DISPATCH, &result, nullptr);
    return result;
}

std::string CApplication::get_Version() {
    std::string result;
    InvokeHelper(dispid::Version, DISPATCH_PROPERTYGET, VT_BSTR, &result, nullptr);
    return result;
}

void CApplication::put_DisplayAlerts(bool displayAlerts) {
    InvokeHelper(dispid::DisplayAlerts, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, kParamsBool, displayAlerts);
}

void CApplication::put_UserControl(bool userControl) {
    InvokeHelper(dispid::UserControl, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, kParamsBool, userControl);
}

IDispatch* CWorkbooks::Open(const std::string& fileName, const Variant& updateLinks, const Variant& readOnly,
                            const Variant& format, const Variant& password, const Variant& writeResPassword,
                            const Variant& ignoreReadOnlyRecommended, const Variant& origin,
                            const Variant& delimiter, const Variant& editable, const Variant& notify,
                            const Variant& converter, const Variant& addToMru) {
    IDispatch* result = nullptr;
    InvokeHelper(dispid::Open, DISPATCH_METHOD, VT_DISPATCH, &result, kParamsOpen, fileName, updateLinks,
                 readOnly, format, password, writeResPassword, ignoreReadOnlyRecommended, origin, delimiter,
                 editable, notify, converter, addToMru);
    return result;
}

IDispatch* CWorkbook::get_Sheets() {
    IDispatch* result = nullptr;
    InvokeHelper(dispid::Sheets, DISPATCH_PROPERTYGET, VT_DISPATCH, &result, nullptr);
    return result;
}

void CWorkbook::Save() { InvokeHelper(dispid::Save, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr); }

void CWorkbook::put_Saved(bool saved) {
    InvokeHelper(dispid::Saved, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, kParamsBool, saved);
}

IDispatch* CSheets::get_Item(const Variant& index) {
    IDispatch* result = nullptr;
    InvokeHelper(dispid::Item, DISPATCH_PROPERTYGET, VT_DISPATCH, &result, kParamsVariant, index);
    return result;
}

IDispatch* CSheets::Add(const Variant& before, const Variant& after, const Variant& count,
                        const Variant& type) {
    IDispatch* result = nullptr;
    InvokeHelper(dispid::Add, DISPATCH_METHOD, VT_DISPATCH, &result, kParamsVariant4, before, after, count,
                 type);
    return result;
}

std::string CWorksheet::get_Name() {
    std::string result;
    InvokeHelper(dispid::Name, DISPATCH_PROPERTYGET, VT_BSTR, &result, nullptr);
    return result;
}

void CWorksheet::put_Name(const std::string& name) {
    InvokeHelper(dispid::Name, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, kParamsBstr, name);
}

IDispatch* CWorksheet::get_Range(const Variant& cell1, const Variant& cell2) {
    IDispatch* result = nullptr;
    InvokeHelper(dispid::Range, DISPATCH_PROPERTYGET, VT_DISPATCH, &result, kParamsVariant2, cell1, cell2);
    return result;
}

void CWorksheet::SaveAs(const std::string& fileName, const Variant& fileFormat, const Variant& password,
                        const Variant& writeResPassword, const Variant& readOnlyRecommended,
                        const Variant& createBackup, const Variant& addToMru, const Variant& textCodepage,
                        const Variant& textVisualLayout) {
    InvokeHelper(dispid::SaveAs, DISPATCH_METHOD, VT_EMPTY, nullptr, kParamsSaveAs, fileName, fileFormat,
                 password, writeResPassword, readOnlyRecommended, createBackup, addToMru, textCodepage,
                 textVisualLayout);
}

void CRange::put_NumberFormat(const Variant& format) {
    InvokeHelper(dispid::NumberFormat, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, kParamsVariant, format);
}

void CRange::put_Value(const Variant& value) {
    InvokeHelper(dispid::Value, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, kParamsVariant, value);
}

IDispatch* CRange::get_Resize(const Variant& rowSize, const Variant& columnSize) {
    IDispatch* result = nullptr;
    InvokeHelper(dispid::Resize, DISPATCH_PROPERTYGET, VT_DISPATCH, &result, kParamsVariant2, rowSize,
                 columnSize);
    return result;
}

}  // namespace ledgra
