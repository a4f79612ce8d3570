#include "dialog_window.h"

#include <cstring>
#include <vector>

namespace ardmon::win32 {

namespace {

// DLGTEMPLATEEX begins with dlgVer 1 and signature 0xFFFF; its style
// follows helpID and exStyle.
constexpr size_t kExStyleOffset = 12;
constexpr size_t kClassicStyleOffset = 0;

}  // namespace

CDialogWnd::~CDialogWnd()
{
    if (m_hWnd != nullptr) {
        ::SetWindowLongPtrA(m_hWnd, DWLP_USER, 0);
        ::DestroyWindow(m_hWnd);
        m_hWnd = nullptr;
    }
}

bool CDialogWnd::CreateHidden()
{
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    HRSRC found =
        ::FindResourceA(instance, MAKEINTRESOURCEA(m_nTemplateId), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    HGLOBAL loaded = found != nullptr ? ::LoadResource(instance, found) : nullptr;
    const void* bytes = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    const DWORD size = found != nullptr ? ::SizeofResource(instance, found) : 0;
    if (bytes == nullptr || size < 16) return false;

    // A DWORD-aligned copy whose style can be changed.
    std::vector<DWORD> copy((size + sizeof(DWORD) - 1) / sizeof(DWORD));
    std::memcpy(copy.data(), bytes, size);
    WORD head[2];
    std::memcpy(head, copy.data(), sizeof head);
    const size_t style_offset = (head[0] == 1 && head[1] == 0xFFFF) ? kExStyleOffset : kClassicStyleOffset;
    DWORD style;
    std::memcpy(&style, reinterpret_cast<char*>(copy.data()) + style_offset, sizeof style);
    style &= ~static_cast<DWORD>(WS_VISIBLE);
    std::memcpy(reinterpret_cast<char*>(copy.data()) + style_offset, &style, sizeof style);

    return ::CreateDialogIndirectParamA(instance, reinterpret_cast<LPCDLGTEMPLATEA>(copy.data()), m_hOwner,
                                        DialogProc, reinterpret_cast<LPARAM>(this)) != nullptr;
}

INT_PTR CALLBACK CDialogWnd::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CDialogWnd*>(lParam);
        ::SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
        self->m_hWnd = hWnd;
        return self->OnInitDialog();
    }
    auto* self = reinterpret_cast<CDialogWnd*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
    if (self == nullptr) return FALSE;
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(hWnd, DWLP_USER, 0);
        self->m_hWnd = nullptr;
        return FALSE;
    }
    INT_PTR result = 0;
    if (!self->OnMessage(message, wParam, lParam, result)) return FALSE;
    return result;
}

}  // namespace ardmon::win32
