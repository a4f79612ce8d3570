#include <gtest/gtest.h>

#include "anchor_delta.h"

using namespace ardmon;

namespace {

// Offset from the first place after a series of widths, all passes clamped.
int OffsetAfter(std::initializer_list<int> widths, int reference)
{
    int last = reference;
    int offset = 0;
    for (int width : widths) {
        offset += ComputeAnchorDelta({width, 100}, {last, 100}, {reference, 100}).dx;
        last = width;
    }
    return offset;
}

}  // namespace

TEST(AnchorDelta, FollowsTheWorkedResizeSequence)
{
    const AnchorSize ref{600, 100};
    EXPECT_EQ(ComputeAnchorDelta({700, 100}, {600, 100}, ref), (AnchorDelta{100, 0}));
    EXPECT_EQ(ComputeAnchorDelta({500, 100}, {700, 100}, ref), (AnchorDelta{-100, 0}));
    EXPECT_EQ(ComputeAnchorDelta({550, 100}, {500, 100}, ref), (AnchorDelta{0, 0}));
    EXPECT_EQ(ComputeAnchorDelta({650, 100}, {550, 100}, ref), (AnchorDelta{50, 0}));
    EXPECT_EQ(OffsetAfter({700, 500, 550, 650}, 600), 50);
}

TEST(AnchorDelta, OffsetIsAlwaysTheGrowthAboveTheReference)
{
    EXPECT_EQ(OffsetAfter({300, 200, 900, 100, 601}, 600), 1);
    EXPECT_EQ(OffsetAfter({0, -5, 599}, 600), 0);
    EXPECT_EQ(ComputeAnchorDelta({100, 800}, {100, 600}, {200, 500}), (AnchorDelta{0, 200}));
    EXPECT_EQ(ComputeAnchorDelta({100, 400}, {100, 800}, {200, 500}), (AnchorDelta{0, -300}));
}

TEST(AnchorDelta, ExtremeSizesSaturateInsteadOfWrapping)
{
    const AnchorDelta d =
        ComputeAnchorDelta({INT32_MAX, INT32_MIN}, {INT32_MIN, INT32_MAX}, {INT32_MIN, INT32_MIN});
    EXPECT_EQ(d.dx, INT32_MAX);
    EXPECT_EQ(d.dy, INT32_MIN);
}

TEST(AnchorFlags, EachBitMovesItsEdges)
{
    const AnchorRect r{10, 20, 110, 70};
    const AnchorDelta d{100, 50};
    EXPECT_EQ(ApplyAnchorFlags(r, ANCHOR_MOVE_X, d), (AnchorRect{110, 20, 210, 70}));
    EXPECT_EQ(ApplyAnchorFlags(r, ANCHOR_MOVE_Y, d), (AnchorRect{10, 70, 110, 120}));
    EXPECT_EQ(ApplyAnchorFlags(r, ANCHOR_SIZE_X, d), (AnchorRect{10, 20, 210, 70}));
    EXPECT_EQ(ApplyAnchorFlags(r, ANCHOR_SIZE_Y, d), (AnchorRect{10, 20, 110, 120}));
    // 12 stretches both ways, 9 moves sideways and stretches in height.
    EXPECT_EQ(ApplyAnchorFlags(r, 12, d), (AnchorRect{10, 20, 210, 120}));
    EXPECT_EQ(ApplyAnchorFlags(r, 9, d), (AnchorRect{110, 20, 210, 120}));
    // Other bits do nothing.
    EXPECT_EQ(ApplyAnchorFlags(r, 0xFFFFFFF0u, d), r);
    EXPECT_EQ(ApplyAnchorFlags(r, 0, d), r);
}
