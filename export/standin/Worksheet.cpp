#include "standin/Objects.h"

#include "automation/ExcelOperations.h"
#include "standin/Desktop.h"

namespace ledgra::standin::detail {

namespace {
constexpr std::int32_t xlExcel9795 = 43;
constexpr std::int32_t xlExcel8 = 56;
}  // namespace

HRESULT WorksheetObject::Invoke(DISPID dispId, WORD flags, DispArgs args, Variant* result, ExcepInfo* info) {
    if (Index() < 0) return E_UNEXPECTED;
    switch (dispId) {
        case dispid::Name:
            return Name(flags, args, result, info);
        case dispid::Range:
            if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
            return Range(args, result, info);
        case dispid::SaveAs:
            if (!IsMethod(flags)) return DISP_E_MEMBERNOTFOUND;
            return SaveAs(args, info);
        default:
            return DISP_E_MEMBERNOTFOUND;
    }
}

HRESULT WorksheetObject::Name(WORD flags, DispArgs args, Variant* result, ExcepInfo* info) {
    const auto index = static_cast<std::size_t>(Index());
    xls::Worksheet& sheet = book_->model->Sheet(index);
    if (IsPut(flags)) {
        if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
        std::string name;
        if (FAILED(ChangeToString(*args[0], name))) return DISP_E_TYPEMISMATCH;
        if (name == sheet.Name()) return S_OK;
        const SheetNameProblem problem = CheckSheetName(name, book_->NamesExcept(index));
        if (problem != SheetNameProblem::None) return Fail(info, SheetNameProblemText(problem));
        sheet.SetName(std::move(name));
        book_->Changed();
        return S_OK;
    }
    if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
    if (!args.empty()) return DISP_E_BADPARAMCOUNT;
    if (result) result->SetString(std::string_view(sheet.Name()));
    return S_OK;
}

HRESULT WorksheetObject::Range(DispArgs args, Variant* result, ExcepInfo* info) {
    if (args.empty() || args.size() > 2) return DISP_E_BADPARAMCOUNT;
    constexpr const char* kFailed = "Method 'Range' of object '_Worksheet' failed";
    auto resolve = [&](const Variant& cell, CellRect& rect) -> HRESULT {
        if (cell.vt() == VT_BSTR) return ParseRangeReference(cell.bstrVal(), rect) ? S_OK : E_FAIL;
        if (auto* range = dynamic_cast<RangeObject*>(cell.pdispVal())) {
            if (range->Sheet() != sheet_.get()) return E_FAIL;
            rect = range->Rect();
            return S_OK;
        }
        return DISP_E_TYPEMISMATCH;
    };
    CellRect rect;
    HRESULT hr = resolve(*args[0], rect);
    if (hr == DISP_E_TYPEMISMATCH) return hr;
    if (FAILED(hr)) return Fail(info, kFailed);
    if (!Omitted(args, 1)) {
        CellRect second;
        hr = resolve(*args[1], second);
        if (hr == DISP_E_TYPEMISMATCH) return hr;
        if (FAILED(hr)) return Fail(info, kFailed);
        rect = Union(rect, second);
    }
    ReturnObject(result, new RangeObject(app_.get(), book_, sheet_, rect));
    return S_OK;
}

HRESULT WorksheetObject::SaveAs(DispArgs args, ExcepInfo* info) {
    if (args.empty() || args.size() > 11) return DISP_E_BADPARAMCOUNT;
    std::string name;
    if (FAILED(ChangeToString(*args[0], name))) return DISP_E_TYPEMISMATCH;
    if (name.empty()) return Fail(info, "Method 'SaveAs' of object '_Worksheet' failed");
    const std::string path = SystemPath(name);
    std::int32_t format = xlExcel8;
    if (!Omitted(args, 1)) {
        const HRESULT hr = ChangeToInt32(*args[1], format);
        if (FAILED(hr)) return hr;
    }
    if (format == xlExcel8 || format == xlExcel9795) return WriteWorkbook(*book_, path, info);
    return Fail(info,
                "This application saves Excel 97-2003 workbooks (file formats 56 and 43) only; file "
                "format " +
                    std::to_string(format) + " cannot be written.");
}

}  // namespace ledgra::standin::detail
