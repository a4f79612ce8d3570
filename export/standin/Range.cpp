#include "standin/Objects.h"

#include "automation/ExcelOperations.h"
#include "xls/SheetNames.h"

#include <algorithm>

namespace ledgra::standin::detail {

namespace {

// Range.Address, which only the tests ask for.
constexpr DISPID kAddress = 0xEC;

// Cells a single Value request may touch, and may read back into an array.
constexpr std::uint64_t kMaxCellsPerRequest = std::uint64_t{1} << 24;
constexpr std::uint64_t kMaxCellsPerRead = std::uint64_t{1} << 20;

bool ParseFormatCode(const std::string& code, xls::NumberFormat& format) {
    if (xls::SameSheetName(code, "General")) {
        format = xls::NumberFormat::General;
    } else if (code == "0.00") {
        format = xls::NumberFormat::Fixed2;
    } else if (code == "@") {
        format = xls::NumberFormat::Text;
    } else {
        return false;
    }
    return true;
}

bool IsCellValueType(VARTYPE vt) {
    switch (vt) {
        case VT_EMPTY:
        case VT_I2:
        case VT_I4:
        case VT_INT:
        case VT_R8:
        case VT_BSTR:
        case VT_BOOL:
        case VT_ERROR:
            return true;
        default:
            return false;
    }
}

void PutCell(xls::Worksheet& sheet, SheetState& state, std::uint32_t row, std::uint32_t column,
             const Variant& value) {
    const std::uint64_t key = std::uint64_t{row} << 32 | column;
    if (!state.longTexts.empty()) state.longTexts.erase(key);
    switch (value.vt()) {
        case VT_I2:
            sheet.SetNumber(row, column, value.iVal());
            break;
        case VT_I4:
            sheet.SetNumber(row, column, value.lVal());
            break;
        case VT_INT:
            sheet.SetNumber(row, column, value.intVal());
            break;
        case VT_R8:
            sheet.SetNumber(row, column, value.dblVal());
            break;
        case VT_BSTR:
            // An empty string leaves the cell empty.
            if (value.bstrVal().empty())
                sheet.Clear(row, column);
            else
                sheet.SetText(row, column, value.bstrVal());
            if (value.bstrVal().size() > xls::kMaxTextLength) state.longTexts[key] = value.bstrVal();
            break;
        // The model holds numbers and texts only: a boolean is kept as its text,
        // and an error value (which a workbook would show as #N/A and the like)
        // leaves the cell empty, as VT_EMPTY does.
        case VT_BOOL:
            sheet.SetText(row, column, value.boolVal() ? "TRUE" : "FALSE");
            break;
        default:
            sheet.Clear(row, column);
            break;
    }
}

}  // namespace

HRESULT RangeObject::Invoke(DISPID dispId, WORD flags, DispArgs args, Variant* result, ExcepInfo* info) {
    const std::ptrdiff_t index = book_->IndexOf(sheet_.get());
    if (index < 0) return E_UNEXPECTED;
    switch (dispId) {
        case dispid::Value:
            if (IsPut(flags)) {
                if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
                return PutValue(*args[0], info);
            }
            if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
            return GetValue(result);
        case dispid::NumberFormat: {
            xls::Worksheet& sheet = book_->model->Sheet(static_cast<std::size_t>(index));
            if (IsPut(flags)) {
                if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
                std::string code;
                xls::NumberFormat format{};
                if (FAILED(ChangeToString(*args[0], code)) || !ParseFormatCode(code, format))
                    return Fail(info, "Unable to set the NumberFormat property of the Range class");
                for (std::uint32_t column = rect_.firstColumn; column <= rect_.lastColumn; ++column)
                    sheet.SetNumberFormat(rect_.firstRow, rect_.lastRow, column, format);
                book_->Changed();
                return S_OK;
            }
            return DISP_E_MEMBERNOTFOUND;
        }
        case dispid::Resize:
            if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
            return Resize(args, result, info);
        case kAddress: {
            if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
            auto corner = [](std::string& out, std::uint32_t row, std::uint32_t column) {
                out.push_back('$');
                out.append(xls::ColumnLetters(column));
                out.push_back('$');
                out.append(std::to_string(row + 1));
            };
            std::string address;
            corner(address, rect_.firstRow, rect_.firstColumn);
            if (rect_.Rows() > 1 || rect_.Columns() > 1) {
                address.push_back(':');
                corner(address, rect_.lastRow, rect_.lastColumn);
            }
            if (result) result->SetString(std::move(address));
            return S_OK;
        }
        default:
            return DISP_E_MEMBERNOTFOUND;
    }
}

HRESULT RangeObject::PutValue(const Variant& value, ExcepInfo* info) {
    if (rect_.Rows() * rect_.Columns() > kMaxCellsPerRequest) return E_OUTOFMEMORY;
    xls::Worksheet& sheet = book_->model->Sheet(static_cast<std::size_t>(book_->IndexOf(sheet_.get())));
    const SafeArray* array = value.parray();
    if (array == nullptr) {
        if (!IsCellValueType(value.vt())) return DISP_E_TYPEMISMATCH;
        for (std::uint32_t r = rect_.firstRow; r <= rect_.lastRow; ++r)
            for (std::uint32_t c = rect_.firstColumn; c <= rect_.lastColumn; ++c)
                PutCell(sheet, *sheet_, r, c, value);
    } else {
        const std::uint32_t rows = array->Rows();
        const std::uint32_t columns = array->Columns();
        for (std::uint32_t i = 0; i < rows; ++i)
            for (std::uint32_t j = 0; j < columns; ++j)
                if (!IsCellValueType(array->At(i, j).vt())) return DISP_E_TYPEMISMATCH;
        if (rows == 0 || columns == 0) return Fail(info, "Application-defined or object-defined error");
        static const Variant kEmpty;
        // An array dimension of one repeats over the range; cells beyond the
        // array are left empty.
        for (std::uint32_t i = 0; i < rect_.Rows(); ++i) {
            const std::uint32_t ai = rows == 1 ? 0 : i;
            for (std::uint32_t j = 0; j < rect_.Columns(); ++j) {
                const std::uint32_t aj = columns == 1 ? 0 : j;
                const Variant& cell = (ai < rows && aj < columns) ? array->At(ai, aj) : kEmpty;
                PutCell(sheet, *sheet_, rect_.firstRow + i, rect_.firstColumn + j, cell);
            }
        }
    }
    sheet_->usedRows = std::max(sheet_->usedRows, rect_.lastRow + 1);
    sheet_->usedColumns = std::max(sheet_->usedColumns, rect_.lastColumn + 1);
    book_->Changed();
    return S_OK;
}

HRESULT RangeObject::GetValue(Variant* result) {
    if (result == nullptr) return S_OK;
    if (rect_.Rows() * rect_.Columns() > kMaxCellsPerRead) return E_OUTOFMEMORY;
    const xls::Worksheet& sheet = book_->model->Sheet(static_cast<std::size_t>(book_->IndexOf(sheet_.get())));
    auto read = [&](std::uint32_t row, std::uint32_t column) {
        xls::CellValue cell = sheet.CellAt(row, column);
        if (cell.kind == xls::CellKind::Number) return Variant::R8(cell.number);
        if (cell.kind == xls::CellKind::Text) return Variant::String(std::move(cell.text));
        return Variant();
    };
    if (rect_.Rows() == 1 && rect_.Columns() == 1) {
        *result = read(rect_.firstRow, rect_.firstColumn);
        return S_OK;
    }
    SafeArray array(static_cast<std::uint32_t>(rect_.Rows()), static_cast<std::uint32_t>(rect_.Columns()));
    for (std::uint32_t i = 0; i < array.Rows(); ++i)
        for (std::uint32_t j = 0; j < array.Columns(); ++j)
            array.At(i, j) = read(rect_.firstRow + i, rect_.firstColumn + j);
    result->SetArray(std::move(array));
    return S_OK;
}

HRESULT RangeObject::Resize(DispArgs args, Variant* result, ExcepInfo* info) {
    if (args.size() > 2) return DISP_E_BADPARAMCOUNT;
    std::int32_t rows = static_cast<std::int32_t>(rect_.Rows());
    std::int32_t columns = static_cast<std::int32_t>(rect_.Columns());
    if (!Omitted(args, 0)) {
        const HRESULT hr = ChangeToInt32(*args[0], rows);
        if (FAILED(hr)) return hr;
    }
    if (!Omitted(args, 1)) {
        const HRESULT hr = ChangeToInt32(*args[1], columns);
        if (FAILED(hr)) return hr;
    }
    if (rows < 1 || columns < 1 ||
        std::uint64_t{rect_.firstRow} + static_cast<std::uint64_t>(rows) > kGridRows ||
        std::uint64_t{rect_.firstColumn} + static_cast<std::uint64_t>(columns) > kGridColumns)
        return Fail(info, "Application-defined or object-defined error");
    CellRect resized{rect_.firstRow, rect_.firstColumn, rect_.firstRow + static_cast<std::uint32_t>(rows) - 1,
                     rect_.firstColumn + static_cast<std::uint32_t>(columns) - 1};
    ReturnObject(result, new RangeObject(app_.get(), book_, sheet_, resized));
    return S_OK;
}

}  // namespace ledgra::standin::detail
