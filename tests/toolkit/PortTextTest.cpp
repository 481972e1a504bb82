// The rule for a typed port, shared by every place that binds one.

#include "toolkit/PortText.h"
#include "core/VbError.h"

#include <gtest/gtest.h>

namespace tarvex::test {
namespace {

TEST(PortTextTest, acceptsWholeNumbersFromOneTo65535)
{
    EXPECT_EQ(portFromText("1"), 1);
    EXPECT_EQ(portFromText("12345"), 12345);
    EXPECT_EQ(portFromText("53000"), 53000);
    EXPECT_EQ(portFromText("57120"), 57120);
    EXPECT_EQ(portFromText("65535"), 65535);
    EXPECT_EQ(portFromText(" 8000\t"), 8000);
    EXPECT_EQ(portFromText("00080"), 80);
}

TEST(PortTextTest, rejectsEverythingElseWithTheTextInTheDescription)
{
    for (const char *text : {"", "  ", "0", "000", "-1", "+1", "65536", "4294967297", "1.5", "1,5",
                             "1e3", "abc", "12 34", "0x50"}) {
        try {
            portFromText(text);
            ADD_FAILURE() << "accepted '" << text << "'";
        } catch (const VbError &e) {
            EXPECT_EQ(e.number(), InvalidPortError) << text;
            EXPECT_NE(e.description().find(std::string("\"") + text + "\""), std::string::npos)
                << e.description();
        }
    }
}

} // namespace
} // namespace tarvex::test
