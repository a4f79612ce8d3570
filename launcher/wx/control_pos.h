// CControlPos keeps chosen child controls of a resizable window in step with
// the window's client size: after each resize it moves or stretches every
// registered control by the growth since the previous pass. The client size
// at AttachParent is a floor: below it the controls keep their first layout.
#pragma once

#include <cstdint>
#include <vector>

#include "anchor_delta.h"

class wxWindow;

typedef int BOOL;

namespace ardmon {

// One registered control.
struct AnchorEntry {
    wxWindow* hWnd = nullptr;   // the control, found by id when it was registered
    std::uint32_t dwFlags = 0;  // ANCHOR_* bits
};

// Finds a window's child by its dialog id, the first one in creation order;
// -1 finds the first control that the template left without an id.
wxWindow* GetDlgItem(wxWindow* parent, int id);

class CControlPos {
public:
    explicit CControlPos(wxWindow* pParent = nullptr);

    CControlPos(const CControlPos&) = delete;
    CControlPos& operator=(const CControlPos&) = delete;

    // Takes the parent's present client size as reference and last size.
    // Registered entries stay.
    void AttachParent(wxWindow* pParent);

    // Registers the parent's child with the given id. FALSE when there is no
    // parent yet or no such child; nothing is registered then.
    BOOL AnchorControl(const int& nId, const std::uint32_t& dwFlags);

    // Forgets every entry.
    void ClearAnchors();

    // Moves every registered control by the growth since the last pass, then
    // records the parent's size. Does nothing at all without a parent.
    void RepositionControls();

    // Stores the parent's present client size as the last size.
    void RecordParentSize();

    wxWindow* m_pParent = nullptr;
    int m_nLastWidth = 0;
    int m_nLastHeight = 0;
    int m_nRefWidth = 0;
    int m_nRefHeight = 0;
    std::vector<AnchorEntry> m_arrAnchors;
};

}  // namespace ardmon
