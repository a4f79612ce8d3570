// CControlPos on a real window.
#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/frame.h>

#include "control_pos.h"
#include "gui_test_support.h"

using namespace ardmon;
using ardmon::test::PumpUntil;

namespace {

class ControlPosTest : public testing::Test {
protected:
    void SetUp() override
    {
        frame_ = new wxFrame(nullptr, wxID_ANY, "anchor");
        frame_->SetClientSize(600, 400);
        stretch_ = new wxButton(frame_, 11, "stretch", wxPoint(10, 10), wxSize(100, 50));
        right_ = new wxButton(frame_, 12, "right", wxPoint(200, 10), wxSize(80, 30));
        down_ = new wxButton(frame_, 13, "down", wxPoint(10, 300), wxSize(80, 30));
        frame_->Show();
        PumpUntil([&] { return frame_->GetClientSize() == wxSize(600, 400); });
    }
    void TearDown() override { frame_->Destroy(); }

    void ResizeClient(int w, int h)
    {
        frame_->SetClientSize(w, h);
        ASSERT_TRUE(PumpUntil([&] { return frame_->GetClientSize() == wxSize(w, h); }));
    }

    wxFrame* frame_ = nullptr;
    wxButton* stretch_ = nullptr;
    wxButton* right_ = nullptr;
    wxButton* down_ = nullptr;
};

TEST_F(ControlPosTest, GrowingMovesAndStretchesByTheGrowth)
{
    CControlPos anchor;
    anchor.AttachParent(frame_);
    EXPECT_EQ(anchor.AnchorControl(11, ANCHOR_SIZE_X | ANCHOR_SIZE_Y), 1);
    EXPECT_EQ(anchor.AnchorControl(12, ANCHOR_MOVE_X), 1);
    EXPECT_EQ(anchor.AnchorControl(13, ANCHOR_MOVE_Y), 1);

    ResizeClient(700, 450);
    anchor.RepositionControls();
    EXPECT_EQ(stretch_->GetRect(), wxRect(10, 10, 200, 100));
    EXPECT_EQ(right_->GetRect(), wxRect(300, 10, 80, 30));
    EXPECT_EQ(down_->GetRect(), wxRect(10, 350, 80, 30));
    EXPECT_EQ(anchor.m_nLastWidth, 700);
    EXPECT_EQ(anchor.m_nLastHeight, 450);

    // Below the reference size the first layout comes back and stays.
    ResizeClient(500, 300);
    anchor.RepositionControls();
    EXPECT_EQ(stretch_->GetRect(), wxRect(10, 10, 100, 50));
    EXPECT_EQ(right_->GetRect(), wxRect(200, 10, 80, 30));
    ResizeClient(550, 350);
    anchor.RepositionControls();
    EXPECT_EQ(right_->GetRect(), wxRect(200, 10, 80, 30));

    // Growing again counts only what lies above the reference.
    ResizeClient(650, 380);
    anchor.RepositionControls();
    EXPECT_EQ(right_->GetRect(), wxRect(250, 10, 80, 30));
    EXPECT_EQ(down_->GetRect(), wxRect(10, 300, 80, 30));
}

TEST_F(ControlPosTest, APassWithoutResizeKeepsWhereSomethingElseMovedTheControl)
{
    CControlPos anchor;
    anchor.AttachParent(frame_);
    anchor.AnchorControl(12, ANCHOR_MOVE_X);
    right_->Move(220, 40);
    anchor.RepositionControls();
    EXPECT_EQ(right_->GetRect(), wxRect(220, 40, 80, 30));
}

TEST_F(ControlPosTest, RefusesControlsWithoutParentOrId)
{
    CControlPos anchor;
    EXPECT_EQ(anchor.AnchorControl(11, ANCHOR_MOVE_X), 0);
    EXPECT_TRUE(anchor.m_arrAnchors.empty());
    anchor.RepositionControls();  // no parent: nothing, not even the size
    EXPECT_EQ(anchor.m_nLastWidth, 0);

    anchor.AttachParent(frame_);
    EXPECT_EQ(anchor.AnchorControl(99, ANCHOR_MOVE_X), 0);
    EXPECT_TRUE(anchor.m_arrAnchors.empty());
}

TEST_F(ControlPosTest, WithoutEntriesAPassOnlyRecordsTheSize)
{
    CControlPos anchor;
    anchor.AttachParent(frame_);
    ResizeClient(640, 420);
    anchor.RepositionControls();
    EXPECT_EQ(anchor.m_nLastWidth, 640);
    EXPECT_EQ(anchor.m_nLastHeight, 420);
    EXPECT_EQ(anchor.m_nRefWidth, 600);
    EXPECT_EQ(right_->GetRect(), wxRect(200, 10, 80, 30));
}

}  // namespace
