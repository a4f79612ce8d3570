#include "standin/Objects.h"

#include "automation/ExcelOperations.h"
#include "registry/ClassRegistry.h"
#include "standin/Desktop.h"
#include "standin/Standin.h"

namespace ledgra::standin::detail {

namespace {

// The application's one error status for failed requests (run-time error 1004).
constexpr SCODE kAppError = MakeHResult(0x800A03EC);
constexpr const char* kSource = "Excel.Application";

}  // namespace

bool Stat(const std::string& path, FileStamp& stamp) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.size = st.st_size;
#ifdef _WIN32
    stamp.mtimeNs = std::int64_t{st.st_mtime} * 1000000000;
#else
    stamp.mtimeNs = std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
#endif
    return true;
}

HRESULT Fail(ExcepInfo* info, std::string description) {
    if (info) {
        info->scode = kAppError;
        info->source = kSource;
        info->description = std::move(description);
    }
    return DISP_E_EXCEPTION;
}

void ReturnObject(Variant* result, IDispatch* object) {
    if (result)
        result->AttachDispatch(object);
    else
        object->Release();
}

HRESULT BoolProperty(bool& field, WORD flags, DispArgs args, Variant* result) {
    if (IsPut(flags)) {
        if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
        return ChangeToBool(*args[0], field);
    }
    if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
    if (!args.empty()) return DISP_E_BADPARAMCOUNT;
    if (result) result->SetBool(field);
    return S_OK;
}

ApplicationObject::~ApplicationObject() {
    // The last reference is gone. Left visible and under the user's control,
    // the application shows the user the workbooks it saved: for each, the
    // workbook file it wrote last (beside the chosen one when that failed).
    try {
        if (state_->visible && state_->userControl)
            for (const auto& book : state_->books)
                if (book->written.valid && book->written.kind == FileKind::Workbook)
                    OpenOnDesktop(book->written.path);
    } catch (...) {
    }
}

HRESULT ApplicationObject::Invoke(DISPID dispId, WORD flags, DispArgs args, Variant* result, ExcepInfo*) {
    AppState& app = *state_;
    switch (dispId) {
        case dispid::Visible:
            return BoolProperty(app.visible, flags, args, result);
        case dispid::DisplayAlerts:
            return BoolProperty(app.displayAlerts, flags, args, result);
        case dispid::UserControl:
            return BoolProperty(app.userControl, flags, args, result);
        case dispid::Workbooks:
            if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
            if (!args.empty()) return DISP_E_BADPARAMCOUNT;
            ReturnObject(result, new WorkbooksObject(this));
            return S_OK;
        case dispid::Version:
            if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
            if (!args.empty()) return DISP_E_BADPARAMCOUNT;
            if (result) result->SetString(std::string_view(kVersion));
            return S_OK;
        default:
            return DISP_E_MEMBERNOTFOUND;
    }
}

}  // namespace ledgra::standin::detail

namespace ledgra::standin {

IDispatch* NewApplication() { return new detail::ApplicationObject(); }

void RegisterApplication() {
    ClassRegistry::Instance().Register(kProgId, [] { return NewApplication(); });
}

}  // namespace ledgra::standin
