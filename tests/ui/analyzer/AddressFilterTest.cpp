// The analyzer's address filter: syntax, case, "anywhere in the address", and bounded effort
// against hostile patterns and long addresses.
#include "ui/analyzer/AddressFilter.h"

#include "core/VbError.h"

#include <gtest/gtest.h>

#include <string>

using namespace tarvex;

TEST(AddressFilter, theEmptyPatternMatchesEveryAddress)
{
    AddressFilter filter("");
    EXPECT_TRUE(filter.matches("/fader1"));
    EXPECT_TRUE(filter.matches(""));
}

TEST(AddressFilter, matchesAnywhereIgnoringCase)
{
    AddressFilter fader("fader");
    EXPECT_TRUE(fader.matches("/FADER2"));
    EXPECT_FALSE(fader.matches(std::string_view()));
    EXPECT_TRUE(AddressFilter("^$").matches(std::string_view()));
    EXPECT_TRUE(fader.matches("/mix/Fader/3"));
    EXPECT_FALSE(fader.matches("/fade"));
    EXPECT_TRUE(AddressFilter("\xC3\xA4").matches("/\xC3\x84")); // ä finds Ä
}

TEST(AddressFilter, speaksTheEcmaScriptSyntax)
{
    EXPECT_TRUE(AddressFilter("^/fader\\d+$").matches("/fader12"));
    EXPECT_FALSE(AddressFilter("^/fader\\d+$").matches("/fader12/x"));
    EXPECT_TRUE(AddressFilter("\\u0041").matches("/a")); // \uhhhh, case ignored
    EXPECT_TRUE(AddressFilter("\\x2f").matches("/a"));
    EXPECT_TRUE(AddressFilter("\\S").matches("/a"));
    EXPECT_FALSE(AddressFilter("[]").matches("/a"));      // the empty class matches nothing
    EXPECT_TRUE(AddressFilter("(a)|\\1b").matches("/b")); // an unset group matches empty
    EXPECT_TRUE(AddressFilter("/(mix|fx)/\\w{2,}").matches("/FX/send1"));
}

TEST(AddressFilter, refusesAnInvalidPatternWithAnError)
{
    for (const char *pattern : {"(", "[a-", "*a", "a{2,1}", "\\"}) {
        try {
            AddressFilter filter(pattern);
            ADD_FAILURE() << "accepted " << pattern;
        } catch (const VbError &e) {
            EXPECT_EQ(e.number(), errc::InvalidProcedureCall) << pattern;
            EXPECT_FALSE(e.description().empty()) << pattern;
        }
    }
}

TEST(AddressFilter, givesUpOnCatastrophicBacktrackingAsNoMatch)
{
    struct Case {
        const char *pattern;
        bool matchesB; // the answer for the easy address "/b" afterwards
    };
    const std::string address = "/" + std::string(5000, 'a') + "!";
    for (Case c : {Case{"(a+)+$", false}, Case{"(?:a+)+$", false}, Case{"(a*)*[bc]", true},
                   Case{"(\\w+\\s?)+$", true}}) {
        AddressFilter filter(c.pattern);
        EXPECT_FALSE(filter.matches(address)) << c.pattern;
        EXPECT_TRUE(filter.lastMatchHitLimit()) << c.pattern;
        // The same filter still answers the next address.
        EXPECT_EQ(filter.matches("/b"), c.matchesB) << c.pattern;
        EXPECT_FALSE(filter.lastMatchHitLimit()) << c.pattern;
    }
}

TEST(AddressFilter, survivesLongAddressesAndDeepOrHugePatterns)
{
    const std::string longAddress(1 << 20, 'x');
    EXPECT_TRUE(AddressFilter("x$").matches(longAddress));
    EXPECT_FALSE(AddressFilter("y").matches(longAddress));
    EXPECT_FALSE(AddressFilter("(x|y)*z").matches(longAddress));
    EXPECT_FALSE(AddressFilter("(x|xx)+$").matches(longAddress + "!"));

    // Nesting deep enough to strain a recursive compiler is refused as a syntax error, and so
    // is a pattern of absurd length.
    const std::string deep = std::string(2000, '(') + "a" + std::string(2000, ')');
    EXPECT_THROW(AddressFilter filter(deep), VbError);
    EXPECT_THROW(AddressFilter filter(std::string(100000, 'a')), VbError);

    // Huge repetition counts are refused or bounded, never a hang.
    EXPECT_THROW(AddressFilter filter("a{1000000}"), VbError);
    EXPECT_THROW(AddressFilter filter("((a{0,65535}){0,65535}){0,65535}b"), VbError);
    AddressFilter repeated("((a{1,1000}){1,1000})+b");
    EXPECT_FALSE(repeated.matches(std::string(20000, 'a')));
}

TEST(AddressFilter, matchesThatGiveUpShareOneAllowance)
{
    AddressFilter::Limits limits;
    limits.steps = 50'000;
    limits.allowance = 120'000;
    limits.spentSteps = 500;
    AddressFilter filter("(a+)+$|^/ok", limits);
    const std::string hostile = "/" + std::string(200, 'a') + "!";

    std::vector<uint32_t> stepLimits{filter.stepLimit()};
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(filter.matches(hostile));
        EXPECT_TRUE(filter.lastMatchHitLimit());
        stepLimits.push_back(filter.stepLimit());
    }
    EXPECT_EQ(stepLimits, (std::vector<uint32_t>{50'000, 50'000, 20'000, 500}));

    // Ordinary addresses still get their answer from the small remainder.
    EXPECT_TRUE(filter.matches("/ok/go"));
    EXPECT_TRUE(filter.matches("/x/aaa"));
    EXPECT_FALSE(filter.matches("/x/b"));
    EXPECT_FALSE(filter.lastMatchHitLimit());
    EXPECT_EQ(filter.stepLimit(), 500u);
}

TEST(AddressFilter, invalidUtf8InAnAddressDoesNotMatchButDoesNotFail)
{
    AddressFilter filter("b");
    EXPECT_FALSE(filter.matches("/a\xFF"));
    EXPECT_TRUE(filter.matches("/a\xFF/b"));
}
