#include "control_pos.h"

namespace ardmon::win32 {

namespace {

// The child with the given id. The id is compared as the 32-bit value a
// template stores, so -1 finds a control left without an id.
HWND FindDlgItem(HWND parent, int id)
{
    if (HWND item = ::GetDlgItem(parent, id)) return item;
    for (HWND child = ::GetWindow(parent, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (static_cast<std::uint32_t>(::GetWindowLongPtrA(child, GWLP_ID)) ==
            static_cast<std::uint32_t>(id)) {
            return child;
        }
    }
    return nullptr;
}

}  // namespace

CControlPos::CControlPos(HWND hParent) : m_pParent(hParent)
{
    // A parent given here is attached at once, so the reference size is
    // never read unset.
    if (m_pParent != nullptr) {
        const AnchorSize size = ClientSize();
        m_nRefWidth = size.width;
        m_nRefHeight = size.height;
    }
}

AnchorSize CControlPos::ClientSize() const
{
    RECT client{};
    ::GetClientRect(m_pParent, &client);
    return {client.right, client.bottom};
}

void CControlPos::AttachParent(HWND hParent)
{
    m_pParent = hParent;
    const AnchorSize size = ClientSize();
    m_nRefWidth = size.width;
    m_nRefHeight = size.height;
    RecordParentSize();
}

BOOL CControlPos::AnchorControl(int nId, std::uint32_t dwFlags)
{
    if (m_pParent == nullptr) return FALSE;
    HWND control = FindDlgItem(m_pParent, nId);
    if (control == nullptr) return FALSE;
    m_arrAnchors.push_back({control, dwFlags});
    return TRUE;
}

void CControlPos::ClearAnchors()
{
    m_arrAnchors.clear();
}

void CControlPos::RepositionControls()
{
    if (m_pParent == nullptr) return;
    for (const AnchorEntry& entry : m_arrAnchors) {
        RECT screen{};
        ::GetWindowRect(entry.hWnd, &screen);
        // Screen to the parent's client coordinates, both corners.
        POINT corners[2] = {{screen.left, screen.top}, {screen.right, screen.bottom}};
        ::MapWindowPoints(nullptr, m_pParent, corners, 2);
        const AnchorDelta delta =
            ComputeAnchorDelta(ClientSize(), {m_nLastWidth, m_nLastHeight}, {m_nRefWidth, m_nRefHeight});
        const AnchorRect rect =
            ApplyAnchorFlags({corners[0].x, corners[0].y, corners[1].x, corners[1].y}, entry.dwFlags, delta);
        ::MoveWindow(entry.hWnd, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
    }
    RecordParentSize();
}

void CControlPos::RecordParentSize()
{
    if (m_pParent == nullptr) return;
    const AnchorSize size = ClientSize();
    m_nLastWidth = size.width;
    m_nLastHeight = size.height;
}

}  // namespace ardmon::win32
