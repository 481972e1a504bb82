// The analyzer's text line of one message: tags, values from the right lists, tab and CR LF.
#include "ui/analyzer/MessageLine.h"

#include "tests/ui/analyzer/AnalyzerSupport.h"

#include <gtest/gtest.h>

using namespace tarvex;
using namespace tarvex::test;

namespace {

std::string lineOf(const OscBuilder &datagram)
{
    osc::OSCMessages messages = decode(datagram);
    std::string pending;
    formatMessageLine(messages[0].message(), pending);
    return pending;
}

} // namespace

TEST(MessageLine, showsEachTagWithItsValueThenATabAndCrLf)
{
    EXPECT_EQ(lineOf(OscBuilder().message("/fader1", ",if").i32(3).f32(0.5f)),
              "/fader1,  i 3 f 0.5\t\r\n");
    EXPECT_EQ(lineOf(OscBuilder().message("/neg", ",i").i32(-2147483647 - 1)),
              "/neg,  i -2147483648\t\r\n");
    EXPECT_EQ(lineOf(OscBuilder().message("/third", ",f").f32(1.0f / 3)),
              "/third,  f 0.3333333\t\r\n");
}

TEST(MessageLine, takesEachKindsValuesFromItsOwnList)
{
    // s, i, s: the two strings are the first and second of the text list, the integer the
    // first of its own.
    EXPECT_EQ(lineOf(OscBuilder().message("/mix", ",sis").str("left").i32(7).str("right")),
              "/mix,  s left i 7 s right\t\r\n");
    EXPECT_EQ(lineOf(OscBuilder().message("/m", ",fif").f32(1.5f).i32(2).f32(-0.25f)),
              "/m,  f 1.5 i 2 f -0.25\t\r\n");
}

TEST(MessageLine, aMessageWithoutTypeTagsShowsEmpty)
{
    EXPECT_EQ(lineOf(OscBuilder().str("/ping")), "/ping,  Empty \t\r\n");
    EXPECT_EQ(lineOf(OscBuilder().message("/ping", ",")), "/ping,  Empty \t\r\n");
}

TEST(MessageLine, otherTagsShowWithoutAValueAndTakeNoneFromTheLists)
{
    // T carries no bytes; the integer after it is still the first of its list.
    EXPECT_EQ(lineOf(OscBuilder().message("/t", ",Ti").i32(9)), "/t,  T  i 9\t\r\n");
}

TEST(MessageLine, floatsUseTheSystemDecimalSeparator)
{
    NumericLocale german("de_DE.UTF-8");
    if (!german.ok())
        GTEST_SKIP() << "no German locale on this machine";
    EXPECT_EQ(lineOf(OscBuilder().message("/fader1", ",if").i32(3).f32(0.5f)),
              "/fader1,  i 3 f 0,5\t\r\n");
}
