// The framework's icon rule and the launcher's one way to show a message.
#include <gtest/gtest.h>

#include "message_boxes.h"
#include "recording_message_boxes.h"

namespace ardmon {
// A front end's title, as the caption every box carries.
std::string ApplicationTitle()
{
    return "Ardmon";
}
}  // namespace ardmon

using namespace ardmon;

TEST(MessageBoxes, ABoxWithoutIconGetsTheFrameworksAndAChosenIconStays)
{
    constexpr unsigned kIconInformation = 0x40;
    EXPECT_EQ(WithFrameworkIcon(kBoxOk), kBoxOk | kBoxIconExclamation);
    EXPECT_EQ(WithFrameworkIcon(kBoxYesNo), kBoxYesNo | kBoxIconQuestion);
    EXPECT_EQ(WithFrameworkIcon(kBoxOk | kIconInformation), kBoxOk | kIconInformation);
    EXPECT_EQ(WithFrameworkIcon(kBoxYesNo | kBoxIconExclamation), kBoxYesNo | kBoxIconExclamation);

    test::RecordingMessageBoxes boxes;
    EXPECT_EQ(AfxMessageBox(boxes, "Please Select any ini file"), kAnswerOk);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Please Select any ini file");
    EXPECT_EQ(boxes.shown[0].caption, "Ardmon");
    EXPECT_EQ(boxes.shown[0].style, kBoxOk | kBoxIconExclamation);
}
