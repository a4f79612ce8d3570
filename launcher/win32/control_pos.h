// CControlPos on Windows: keeps chosen child controls of a resizable window
// in step with its client size, moving the real child windows with
// MoveWindow. The arithmetic is the shared one of anchor_delta.h.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "anchor_delta.h"

namespace ardmon::win32 {

// One registered control.
struct AnchorEntry {
    HWND hWnd = nullptr;        // the control, found by id when it was registered
    std::uint32_t dwFlags = 0;  // ANCHOR_* bits
};

class CControlPos {
public:
    explicit CControlPos(HWND hParent = nullptr);

    // Takes the parent's present client size as reference and last size.
    // Registered entries stay.
    void AttachParent(HWND hParent);

    // Registers the parent's child with the given id. FALSE when there is no
    // parent yet or no such child; nothing is registered then.
    BOOL AnchorControl(int nId, std::uint32_t dwFlags);

    void ClearAnchors();

    // Moves every registered control by the growth since the last pass, then
    // records the parent's size. Does nothing at all without a parent.
    void RepositionControls();

    // Stores the parent's present client size as the last size.
    void RecordParentSize();

    HWND m_pParent = nullptr;
    int m_nLastWidth = 0;
    int m_nLastHeight = 0;
    int m_nRefWidth = 0;
    int m_nRefHeight = 0;
    std::vector<AnchorEntry> m_arrAnchors;

private:
    AnchorSize ClientSize() const;
};

}  // namespace ardmon::win32
