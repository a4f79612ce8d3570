#include "anchor_delta.h"

#include <algorithm>
#include <cstdint>

namespace ardmon {

AnchorDelta ComputeAnchorDelta(AnchorSize now, AnchorSize last, AnchorSize reference)
{
    // The differences are taken in 64 bits and saturated: sizes near the
    // limits of int must not overflow into a jump the other way.
    auto diff = [](long long a, long long b) {
        long long d = a - b;
        d = std::clamp<long long>(d, INT32_MIN, INT32_MAX);
        return static_cast<int>(d);
    };
    return {diff(std::max(now.width, reference.width), std::max(last.width, reference.width)),
            diff(std::max(now.height, reference.height), std::max(last.height, reference.height))};
}

AnchorRect ApplyAnchorFlags(AnchorRect rect, std::uint32_t flags, AnchorDelta delta)
{
    if (flags & ANCHOR_SIZE_Y) {
        rect.bottom += delta.dy;
    }
    if (flags & ANCHOR_SIZE_X) {
        rect.right += delta.dx;
    }
    if (flags & ANCHOR_MOVE_Y) {
        rect.top += delta.dy;
        rect.bottom += delta.dy;
    }
    if (flags & ANCHOR_MOVE_X) {
        rect.left += delta.dx;
        rect.right += delta.dx;
    }
    return rect;
}

}  // namespace ardmon
