#include "control_pos.h"

#include <wx/window.h>

namespace ardmon {

wxWindow* GetDlgItem(wxWindow* parent, int id)
{
    if (parent == nullptr) {
        return nullptr;
    }
    for (wxWindow* child : parent->GetChildren()) {
        if (child->GetId() == id) {
            return child;
        }
    }
    return nullptr;
}

CControlPos::CControlPos(wxWindow* pParent) : m_pParent(pParent)
{
    // A parent given here is attached at once, so the reference size is
    // never read unset.
    if (m_pParent != nullptr) {
        m_pParent->GetClientSize(&m_nRefWidth, &m_nRefHeight);
    }
}

void CControlPos::AttachParent(wxWindow* pParent)
{
    m_pParent = pParent;
    m_pParent->GetClientSize(&m_nRefWidth, &m_nRefHeight);
    RecordParentSize();
}

BOOL CControlPos::AnchorControl(const int& nId, const std::uint32_t& dwFlags)
{
    if (m_pParent == nullptr) {
        return 0;
    }
    wxWindow* control = GetDlgItem(m_pParent, nId);
    if (control == nullptr) {
        return 0;
    }
    m_arrAnchors.push_back({control, dwFlags});
    return 1;
}

void CControlPos::ClearAnchors()
{
    m_arrAnchors.clear();
}

void CControlPos::RepositionControls()
{
    if (m_pParent == nullptr) {
        return;
    }
    for (const AnchorEntry& entry : m_arrAnchors) {
        // The control's rectangle in the parent's client coordinates.
        const wxRect r = entry.hWnd->GetRect();
        AnchorRect rect{r.GetLeft(), r.GetTop(), r.GetLeft() + r.GetWidth(), r.GetTop() + r.GetHeight()};
        AnchorSize now;
        m_pParent->GetClientSize(&now.width, &now.height);
        const AnchorDelta delta =
            ComputeAnchorDelta(now, {m_nLastWidth, m_nLastHeight}, {m_nRefWidth, m_nRefHeight});
        rect = ApplyAnchorFlags(rect, entry.dwFlags, delta);
        entry.hWnd->SetSize(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                            wxSIZE_ALLOW_MINUS_ONE);
        entry.hWnd->Refresh();
    }
    RecordParentSize();
}

void CControlPos::RecordParentSize()
{
    if (m_pParent == nullptr) {
        return;
    }
    m_pParent->GetClientSize(&m_nLastWidth, &m_nLastHeight);
}

}  // namespace ardmon
