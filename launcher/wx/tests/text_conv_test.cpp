// Bytes shown as text: UTF-8 first, Latin-1 for anything else, and a cut
// character marked without garbling the rest.
#include <string>

#include <gtest/gtest.h>

#include "text_conv.h"

using namespace ardmon;

namespace {

TEST(TextConv, ACutCharacterIsMarkedAndTheRestStaysUtf8)
{
    const std::string u = "\xC3\xBC";         // ü
    const std::string euro = "\xE2\x82\xAC";  // €
    const std::string mark = "\xEF\xBF\xBD";  // U+FFFD
    EXPECT_EQ(MarkCutCharacter("Z" + u + "rich\xC3"), "Z" + u + "rich" + mark);
    EXPECT_EQ(MarkCutCharacter("x" + euro + "\xE2"), "x" + euro + mark);
    EXPECT_EQ(MarkCutCharacter("x\xE2\x82"), "x" + mark);
    EXPECT_EQ(MarkCutCharacter("\xF0\x9F\x98"), mark);
    EXPECT_EQ(ToWx(MarkCutCharacter(u + u + "\xC3")), wxString::FromUTF8(u + u + mark));

    // Whole characters, plain text and Latin-1 names stay as they are.
    for (const std::string& same : {std::string(), std::string("plain.ini"), "Z" + u + "rich",
                                    std::string("caf\xE9s"), std::string("caf\xE9\xC3")}) {
        EXPECT_EQ(MarkCutCharacter(same), same);
    }
}

}  // namespace
