#include "host/objects/EventJson.h"

#include <gtest/gtest.h>

namespace tarvex::host {
namespace {

TEST(EventJson, writesAnExecuteAsOneLineWithTextsAndNumbers)
{
    EXPECT_EQ(executeEventJson({"DMX", "Spot \"links\"", "", 1, 7}, 10000, 0, 100000),
              R"({"event":"execute","target":["DMX","Spot \"links\"","",1,7],)"
              R"("value":10000,"min":0,"max":100000})");
    EXPECT_EQ(executeEventJson({Variant::null(), Variant(), Variant(42), 255, -2147483647 - 1}, -5,
                               255, 0),
              R"({"event":"execute","target":["","","42",255,-2147483648],)"
              R"("value":-5,"min":255,"max":0})");
    EXPECT_EQ(userInteractionEventJson(), R"({"event":"userInteraction"})");
}

TEST(EventJson, escapesControlCharactersAndReplacesBrokenUtf8)
{
    EXPECT_EQ(jsonString("a\\b\n\t\x01\x7f"), R"("a\\b\n\t\u0001\u007f")");
    EXPECT_EQ(jsonString("Empfänger €"), "\"Empfänger €\"");
    EXPECT_EQ(jsonString("\xE4x"), "\"\xEF\xBF\xBDx\"");               // a lone Windows-1252 byte
    EXPECT_EQ(jsonString("\xC0\xAF"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\""); // overlong
    EXPECT_EQ(jsonString("\xED\xA0\x80"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""); // surrogate
    EXPECT_EQ(jsonString("\xF0\x9F\x8E"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""); // cut short
    EXPECT_EQ(jsonString("\xF0\x9F\x8E\x9B"), "\"\xF0\x9F\x8E\x9B\"");
    EXPECT_EQ(jsonString(std::string("a\0b", 3)), R"("a\u0000b")");
}

} // namespace
} // namespace tarvex::host
