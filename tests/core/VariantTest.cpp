// The tagged value: type words, arrays and their copy semantics.
#include "core/VarArray.h"
#include "core/VbError.h"

#include <gtest/gtest.h>

#include <utility>

using namespace tarvex;

TEST(Variant, reportsTheTypeWordOfEveryKind)
{
    EXPECT_EQ(Variant().typeWord(), 0x0000);
    EXPECT_EQ(Variant::null().typeWord(), 0x0001);
    EXPECT_EQ(Variant::integer(3).typeWord(), 0x0002);
    EXPECT_EQ(Variant(3).typeWord(), 0x0003);
    EXPECT_EQ(Variant::single(1.5f).typeWord(), 0x0004);
    EXPECT_EQ(Variant::fromDouble(1.5).typeWord(), 0x0005);
    EXPECT_EQ(Variant("x").typeWord(), 0x0008);
    EXPECT_EQ(Variant::boolean(true).typeWord(), 0x000B);
    EXPECT_EQ(Variant(Decimal(1)).typeWord(), 0x000E);
    EXPECT_EQ(Variant::byte(7).typeWord(), 0x0011);
    EXPECT_EQ(Variant(VarArray(VarType::Variant)).typeWord(), 0x200C);
    EXPECT_EQ(Variant(VarArray(VarType::String)).typeWord(), 0x2008);
}

TEST(Variant, typedAccessToAnotherKindIsATypeMismatch)
{
    try {
        (void)Variant("5").asLong();
        FAIL() << "no error raised";
    } catch (const VbError &e) {
        EXPECT_EQ(e.number(), errc::TypeMismatch);
    }
}

TEST(Variant, equalityNeedsTheSameKind)
{
    EXPECT_EQ(Variant(Decimal::parse("1.0").value()), Variant(Decimal(1)));
    EXPECT_NE(Variant(1), Variant::integer(1));
    EXPECT_NE(Variant("1"), Variant(1));
    EXPECT_EQ(Variant::boolean(true), Variant::boolean(true));
}

TEST(VarArray, startsNeverDimensioned)
{
    VarArray a;
    EXPECT_FALSE(a.isDimensioned());
    EXPECT_EQ(a.dimensionCount(), 0);
    EXPECT_EQ(a.size(), 0u);
    EXPECT_THROW((void)a.upperBound(), VbError);
    EXPECT_THROW((void)a[0], VbError);
    EXPECT_EQ(a.find(0), nullptr);
}

TEST(VarArray, redimGivesEmptyElementsWithinTheBounds)
{
    VarArray a;
    a.redim({{1, 3}});
    EXPECT_EQ(a.lowerBound(), 1);
    EXPECT_EQ(a.upperBound(), 3);
    EXPECT_TRUE(a[1].isEmpty());
    EXPECT_THROW((void)a[0], VbError);
    EXPECT_THROW((void)a[4], VbError);

    VarArray texts(VarType::String);
    texts.redim({{0, 1}});
    EXPECT_EQ(std::as_const(texts)[0], Variant(""));

    VarArray grid;
    grid.redim({{0, 1}, {-2, 0}});
    EXPECT_EQ(grid.size(), 6u);
    EXPECT_EQ(grid.lowerBound(2), -2);
}

TEST(VarArray, refusesBadBoundsAndHugeSizes)
{
    VarArray a;
    EXPECT_THROW(a.redim({{5, 3}}), VbError);
    EXPECT_THROW(a.redim({{0, 2147483646}}), VbError);
    EXPECT_FALSE(a.isDimensioned());
}

TEST(VarArray, redimPreserveKeepsTheElementsThatStay)
{
    VarArray a = VarArray::ofValues({Variant(1), Variant(2), Variant(3)});
    a.redimPreserve(4);
    EXPECT_EQ(a[2], Variant(3));
    EXPECT_TRUE(a[4].isEmpty());
    a.redimPreserve(0);
    EXPECT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0], Variant(1));
}

TEST(VarArray, appendDimensionsANeverDimensionedArray)
{
    VarArray a;
    a.append(Variant("x"));
    a.append(Variant("y"));
    EXPECT_EQ(a.lowerBound(), 0);
    EXPECT_EQ(a.upperBound(), 1);
    EXPECT_EQ(a[1], Variant("y"));
    a.erase();
    EXPECT_FALSE(a.isDimensioned());
}

TEST(VarArray, copiesNeverChangeTheOriginal)
{
    VarArray inner = VarArray::ofValues({Variant("=")});
    Variant row(VarArray::ofValues({Variant("/a"), Variant(inner)}));
    Variant copy = row;
    copy.mutableArray()[0] = Variant("/b");
    copy.mutableArray()[1].mutableArray()[0] = Variant("<");

    EXPECT_EQ(row.array()[0], Variant("/a"));
    EXPECT_EQ(row.array()[1].array()[0], Variant("="));
    EXPECT_EQ(copy.array()[1].array()[0], Variant("<"));
    EXPECT_NE(row, copy);
}

TEST(VarArray, aTextArrayHoldsTextsOnly)
{
    // Whatever is stored takes its text form; what has none is refused, and the array keeps
    // what it held.
    VarArray texts(VarType::String);
    texts.append(Variant(5));
    texts.append(Variant(Decimal::parse("2.5").value()));
    texts.append(Variant());
    texts.set(2, Variant::boolean(true));
    EXPECT_EQ(texts, VarArray::ofStrings({"5", "2.5", "True"}));
    EXPECT_EQ(VarArray::ofValues({Variant(7)}, VarType::String), VarArray::ofStrings({"7"}));
    EXPECT_THROW(texts.append(Variant(VarArray())), VbError);
    EXPECT_THROW(texts.set(0, Variant::null()), VbError);
    EXPECT_THROW((void)texts[0], VbError); // no unchecked way in
    EXPECT_THROW((void)texts.elements(), VbError);
    EXPECT_EQ(texts, VarArray::ofStrings({"5", "2.5", "True"}));

    VarArray never(VarType::String);
    EXPECT_THROW(never.append(Variant::null()), VbError);
    EXPECT_FALSE(never.isDimensioned());
}

TEST(VarArray, otherTypedArraysRefuseOtherKinds)
{
    VarArray longs(VarType::Long);
    longs.redim({{0, 1}});
    EXPECT_EQ(std::as_const(longs)[0], Variant(0));
    longs.set(1, Variant(9));
    EXPECT_THROW(longs.set(0, Variant("9")), VbError);
    EXPECT_THROW(longs.set(0, Variant::integer(9)), VbError);
    EXPECT_EQ(std::as_const(longs)[1], Variant(9));
}
