#include "standin/Objects.h"

#include "automation/ExcelOperations.h"

#include <algorithm>

namespace ledgra::standin::detail {

HRESULT SheetsObject::Invoke(DISPID dispId, WORD flags, DispArgs args, Variant* result, ExcepInfo* info) {
    BookState& book = *book_;
    switch (dispId) {
        case dispid::Item: {
            if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
            if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
            std::size_t index = book.sheets.size();
            std::int32_t n = 0;
            const HRESULT hr = ChangeToInt32(*args[0], n);
            if (FAILED(hr)) return hr;
            if (n >= 1) index = static_cast<std::size_t>(n) - 1;
            if (index >= book.sheets.size()) return DISP_E_BADINDEX;
            ReturnObject(result, new WorksheetObject(app_.get(), book_, book.sheets[index]));
            return S_OK;
        }
        case dispid::Add:
            if (!IsMethod(flags)) return DISP_E_MEMBERNOTFOUND;
            return Add(args, result, info);
        default:
            return DISP_E_MEMBERNOTFOUND;
    }
}

// Adds one worksheet after the sheet given as After, or before the active
// sheet when After is omitted. Before, Count and Type are not supported.
HRESULT SheetsObject::Add(DispArgs args, Variant* result, ExcepInfo* info) {
    if (args.size() > 4) return DISP_E_BADPARAMCOUNT;
    BookState& book = *book_;
    if (!Omitted(args, 0) || !Omitted(args, 2) || !Omitted(args, 3))
        return Fail(info, "Method 'Add' of object 'Sheets' failed");
    std::size_t position = std::min(book.active, book.sheets.size());
    if (!Omitted(args, 1)) {
        auto* sheet = dynamic_cast<WorksheetObject*>(args[1]->pdispVal());
        if (sheet == nullptr) return DISP_E_TYPEMISMATCH;
        if (sheet->Book() != &book || sheet->Index() < 0)
            return Fail(info, "Method 'Add' of object 'Sheets' failed");
        position = static_cast<std::size_t>(sheet->Index()) + 1;
    }
    book.model->InsertSheet(position, NextFreeSheetName(book.NamesExcept(book.sheets.size())));
    auto state = std::make_shared<SheetState>();
    book.sheets.insert(book.sheets.begin() + static_cast<std::ptrdiff_t>(position), state);
    book.active = position;
    book.Changed();
    ReturnObject(result, new WorksheetObject(app_.get(), book_, std::move(state)));
    return S_OK;
}

}  // namespace ledgra::standin::detail
