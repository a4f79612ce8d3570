// The arithmetic of control anchoring, kept free of any window so it can be
// checked on its own: how far the parent grew since the last pass, and what
// that does to one control's rectangle.
#pragma once

#include <cstdint>

namespace ardmon {

// Flag bits of an anchored control.
enum : std::uint32_t {
    ANCHOR_MOVE_X = 1,  // left and right edges follow the parent's width
    ANCHOR_MOVE_Y = 2,  // top and bottom edges follow the parent's height
    ANCHOR_SIZE_X = 4,  // right edge follows the parent's width
    ANCHOR_SIZE_Y = 8,  // bottom edge follows the parent's height
};

struct AnchorSize {
    int width = 0;
    int height = 0;
};

struct AnchorRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    friend bool operator==(const AnchorRect&, const AnchorRect&) = default;
};

struct AnchorDelta {
    int dx = 0;
    int dy = 0;
    friend bool operator==(const AnchorDelta&, const AnchorDelta&) = default;
};

// The change of the parent's client size since the last pass. A size below
// the reference size counts as the reference size, so shrinking the window
// never pulls controls past their first layout.
AnchorDelta ComputeAnchorDelta(AnchorSize now, AnchorSize last, AnchorSize reference);

// Applies one control's flags to its rectangle. Bits other than the four
// anchor bits are ignored.
AnchorRect ApplyAnchorFlags(AnchorRect rect, std::uint32_t flags, AnchorDelta delta);

}  // namespace ardmon
