// The golden vectors of the tagged value (tests/data/variant_vectors.tsv): every row is checked
// through the program's own conversion, or excluded with the reason why, and a row of a function
// that nothing checks fails the run.
#include "core/Conversions.h"
#include "core/VbError.h"
#include "tests/core/DecimalText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <clocale>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <vector>

using namespace tarvex;
using tarvex::test::exact;
using tarvex::test::literal;
using tarvex::test::outcome;

namespace {

struct Row {
    int id;
    std::string function, input, arg, hresult, result, winModel, flag;
};

const std::vector<Row> &vectors()
{
    static const std::vector<Row> rows = [] {
        std::vector<Row> out;
        std::ifstream in(TARVEX_TEST_DATA "/variant_vectors.tsv");
        std::string line;
        std::getline(in, line); // header
        while (std::getline(in, line)) {
            std::vector<std::string> f;
            std::stringstream ss(line);
            for (std::string cell; std::getline(ss, cell, '\t');)
                f.push_back(cell);
            f.resize(10);
            out.push_back({std::stoi(f[0]), f[2], f[3], f[4], f[5], f[6], f[8], f[9]});
        }
        return out;
    }();
    return rows;
}

// What a row comes to: the expected and the actual outcome, or the reason it is not checked.
struct Verdict {
    std::string expected, actual, excluded;
};

Verdict excluded(std::string reason)
{
    return {{}, {}, std::move(reason)};
}

// The Windows value where the vectors know it, else the recorded one; errors as their numbers.
std::string expected(const Row &r)
{
    static const std::map<std::string, std::string> errors = {{"DISP_E_OVERFLOW", "error 6"},
                                                              {"DISP_E_DIVBYZERO", "error 11"},
                                                              {"E_INVALIDARG", "error 5"},
                                                              {"DISP_E_TYPEMISMATCH", "error 13"}};
    std::string v = r.winModel.empty() ? r.result : r.winModel;
    const auto error = errors.find(errors.count(v) ? v : r.hresult);
    if (error != errors.end())
        return error->second;
    v = v.substr(0, v.find(" (")); // "0.15 (scale=2)", "0.1 | CStr=0.1"
    v = v.substr(0, v.find(" | "));
    return v.find_first_not_of("-0.") == std::string::npos ? "0" : v;
}

char separatorOf(const Row &r)
{
    return r.arg == "lcid=0x0407" ? ',' : '.';
}

// Runs a conversion with the row's decimal separator as the system's; false when the machine
// lacks the locale.
bool withSeparatorOf(const Row &r, const std::function<void()> &run)
{
    if (separatorOf(r) == '.') {
        run();
        return true;
    }
    const char *previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        return false;
    run();
    std::setlocale(LC_NUMERIC, saved.c_str());
    return true;
}

std::string unquoted(const std::string &quoted)
{
    std::string text;
    for (size_t i = 1; i + 1 < quoted.size(); ++i) {
        const bool tab = quoted.compare(i, 2, "\\t") == 0;
        const bool nbsp = quoted.compare(i, 6, "\\u00A0") == 0;
        text += tab ? "\t" : nbsp ? "\xC2\xA0" : std::string(1, quoted[i]);
        i += tab ? 1 : nbsp ? 5 : 0;
    }
    return text;
}

// Number texts follow one grammar: blanks, one leading sign, digits with one decimal
// separator ('.' always, or the system's), an exponent. The runtime's parser accepts more.
std::string notInTheGrammar(const Row &r, const std::string &text)
{
    if (text.find("\xC2\xA0") != std::string::npos)
        return "a no-break space is not a blank";
    if (text.find('&') != std::string::npos)
        return "no hex or octal literals";
    if (text.find('$') != std::string::npos)
        return "no currency symbols";
    if (text.find('(') != std::string::npos)
        return "no parentheses for negative numbers";
    if (text.size() > 1 && (text.back() == '-' || text.back() == '+'))
        return "a sign only in front";
    if (text.starts_with("+-"))
        return "one sign only";
    const char grouping = separatorOf(r) == ',' ? '.' : ',';
    if (text.find(grouping) != std::string::npos && text.find_first_of("0123456789") == 0)
        return separatorOf(r) == ','
                   ? "'.' always reads as a decimal point, never as digit grouping"
                   : "no digit grouping";
    return {};
}

std::string viaText(const Row &r, const std::function<std::string(const Variant &)> &convert)
{
    std::string result;
    const Variant text(unquoted(r.input));
    if (!withSeparatorOf(r, [&] { result = outcome([&] { return convert(text); }); }))
        return {};
    return result;
}

Verdict textConversion(const Row &r, const std::function<std::string(const Variant &)> &convert,
                       std::string expectedValue)
{
    if (std::string why = notInTheGrammar(r, unquoted(r.input)); !why.empty())
        return excluded(why);
    std::string actual = viaText(r, convert);
    if (actual.empty())
        return excluded("no German locale on this machine");
    return {std::move(expectedValue), std::move(actual), {}};
}

std::string doubleText(double value)
{
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    std::string text = buffer;
    std::replace(text.begin(), text.end(), ',', '.'); // whatever the locale
    return text;
}

// The recorded doubles come from a parser that rounds in decimal steps and can miss the nearest
// double by a unit or two in the last place; the program reads the nearest double. Values that
// close count as the same.
bool nearlyTheSame(const std::string &a, const std::string &b)
{
    if (a.starts_with("error") || b.starts_with("error"))
        return a == b;
    const auto x = std::bit_cast<int64_t>(std::strtod(a.c_str(), nullptr));
    const auto y = std::bit_cast<int64_t>(std::strtod(b.c_str(), nullptr));
    return (x < 0) == (y < 0) && (x > y ? x - y : y - x) <= 4;
}

float floatOf(const Row &r)
{
    const auto bits = std::stoul(r.input.substr(r.input.find("[0x") + 3), nullptr, 16);
    return std::bit_cast<float>(static_cast<uint32_t>(bits));
}

// "I4(5)", "Str(\"5\")", "R8(0.1)", "Dec(0.1)", "Bool(-1)", "Empty", "Null".
Variant operand(const std::string &text)
{
    if (text == "Empty")
        return Variant();
    if (text == "Null")
        return Variant::null();
    const std::string kind = text.substr(0, text.find('('));
    const std::string inner = text.substr(kind.size() + 1, text.rfind(')') - kind.size() - 1);
    if (kind == "Str")
        return Variant(unquoted(inner));
    if (kind == "I4")
        return Variant(std::stoi(inner));
    if (kind == "I2")
        return Variant::integer(static_cast<int16_t>(std::stoi(inner)));
    if (kind == "R8")
        return Variant::fromDouble(std::strtod(inner.c_str(), nullptr));
    if (kind == "R4")
        return Variant::single(std::strtof(inner.c_str(), nullptr));
    if (kind == "Dec")
        return Variant(literal(inner));
    if (kind == "Bool")
        return Variant::boolean(std::stoi(inner) != 0);
    throw std::runtime_error("unknown operand " + text);
}

Verdict comparison(const Row &r)
{
    if (r.input.find("VT_RESERVED") != std::string::npos)
        return excluded("a typed operand: the program compares values held in variants only");
    if (r.arg.find("flags=0x1") != std::string::npos)
        return excluded("texts compare case-sensitively");
    const size_t split = r.input.find(" ? ");
    const Variant left = operand(r.input.substr(0, split));
    const Variant right = operand(r.input.substr(split + 3));
    if (left.isString() && right.isString() && r.arg.starts_with("lcid=0x0409"))
        return excluded("texts compare in binary order, not linguistically");
    static const std::map<Comparison, std::string> names = {{Comparison::Less, "VARCMP_LT"},
                                                            {Comparison::Equal, "VARCMP_EQ"},
                                                            {Comparison::Greater, "VARCMP_GT"},
                                                            {Comparison::Null, "VARCMP_NULL"}};
    return {r.result, names.at(compare(left, right)), {}};
}

Verdict arithmetic(const Row &r)
{
    std::istringstream in(r.input);
    std::string a, op, b;
    in >> a >> op >> b;
    const Decimal x = literal(a);
    std::string actual = outcome([&] {
        if (r.function == "VarDecRound")
            return exact(x.round(std::stoi(r.arg.substr(r.arg.find('=') + 1))));
        const Decimal y = literal(b);
        return exact(op == "+" ? x + y : op == "-" ? x - y : op == "*" ? x * y : x / y);
    });
    return {expected(r), actual, {}};
}

Verdict integerFromDecimal(const Row &r)
{
    // Recorded through a double; the program rounds the exact value, which is above the tie.
    if (r.id == 608 || r.id == 609)
        return {
            "3", outcome([&] { return std::to_string(toLong(Variant(literal(r.input)))); }), {}};
    const Variant value(literal(r.input));
    const bool i4 = r.function == "VarI4FromDec";
    return {expected(r),
            outcome([&] { return std::to_string(i4 ? toLong(value) : int32_t{toInteger(value)}); }),
            {}};
}

Verdict integerFromDouble(const Row &r)
{
    const Variant value = Variant::fromDouble(std::strtod(r.input.c_str(), nullptr));
    const bool i4 = r.function == "VarI4FromR8";
    return {expected(r),
            outcome([&] { return std::to_string(i4 ? toLong(value) : int32_t{toInteger(value)}); }),
            {}};
}

Verdict decimalFromText(const Row &r)
{
    // More than 28 decimals: Windows rounds to 28, ties to even.
    static const std::map<int, std::string> windows = {{955, "0"},
                                                       {959, "0"},
                                                       {963, "0.0000000000000000000000000002"},
                                                       {975, "0.1234567890123456789012345679"}};
    const auto w = windows.find(r.id);
    return textConversion(
        r, [](const Variant &text) { return exact(toDecimal(text)); },
        w != windows.end() ? w->second : expected(r));
}

Verdict integerFromText(const Row &r)
{
    const bool i4 = r.function == "VarI4FromStr";
    return textConversion(
        r,
        [i4](const Variant &text) {
            return std::to_string(i4 ? toLong(text) : int32_t{toInteger(text)});
        },
        expected(r));
}

// IsNumeric and CDbl together: a text is numeric exactly when CDbl reads it.
Verdict doubleFromText(const Row &r)
{
    std::string want = expected(r);
    if (!want.starts_with("error"))
        want = doubleText(std::strtod(want.c_str(), nullptr));
    Verdict v = textConversion(
        r,
        [](const Variant &text) {
            const bool numeric = isNumeric(text);
            std::string value = outcome([&] { return doubleText(toDouble(text)); });
            return numeric == !value.starts_with("error") ? value : "IsNumeric disagrees";
        },
        want);
    if (v.excluded.empty() && nearlyTheSame(v.expected, v.actual))
        v.actual = v.expected;
    return v;
}

using Checker = std::function<Verdict(const Row &)>;

const std::map<std::string, Checker> &checkers()
{
    static const std::map<std::string, Checker> all = {
        {"VarDecFromR4",
         [](const Row &r) {
             return Verdict{expected(r),
                            outcome([&] { return exact(toDecimal(Variant::single(floatOf(r)))); }),
                            {}};
         }},
        {"VarBstrFromR4",
         [](const Row &r) {
             return Verdict{r.result, toText(Variant::single(floatOf(r))), {}};
         }},
        {"VarBstrFromR8",
         [](const Row &r) {
             const double value =
                 std::strtod(r.input.substr(r.input.find(" = ") + 3).c_str(), nullptr);
             return Verdict{r.result, toText(Variant::fromDouble(value)), {}};
         }},
        {"VarBstrFromDec",
         [](const Row &r) {
             std::string text;
             if (!withSeparatorOf(r, [&] { text = toText(Variant(literal(r.input))); }))
                 return excluded("no German locale on this machine");
             return Verdict{expected(r), text, {}};
         }},
        {"VarI2FromDec", integerFromDecimal},
        {"VarI4FromDec", integerFromDecimal},
        {"VarI2FromR8", integerFromDouble},
        {"VarI4FromR8", integerFromDouble},
        {"VarDecAdd", arithmetic},
        {"VarDecSub", arithmetic},
        {"VarDecMul", arithmetic},
        {"VarDecDiv", arithmetic},
        {"VarDecRound", arithmetic},
        {"VarDecFromStr", decimalFromText},
        {"VarI2FromStr", integerFromText},
        {"VarI4FromStr", integerFromText},
        {"VarR8FromStr(IsNumeric proxy)", doubleFromText},
        {"VarCmp", comparison},
    };
    return all;
}

void checkRows(const std::set<std::string> &functions)
{
    int checked = 0;
    for (const Row &r : vectors()) {
        if (!functions.count(r.function))
            continue;
        const Verdict v = checkers().at(r.function)(r);
        if (!v.excluded.empty())
            continue;
        ++checked;
        EXPECT_EQ(v.expected, v.actual)
            << "row " << r.id << ": " << r.function << " " << r.input << " " << r.arg;
    }
    EXPECT_GT(checked, 0);
}

} // namespace

TEST(VariantVectors, everyRowIsCheckedOrExcludedWithAReason)
{
    std::map<std::string, std::pair<int, int>> perFunction; // checked, excluded
    std::map<std::string, std::vector<int>> byReason;
    for (const Row &r : vectors()) {
        const auto checker = checkers().find(r.function);
        ASSERT_NE(checker, checkers().end()) << "row " << r.id << ": nothing checks " << r.function;
        const Verdict v = checker->second(r);
        auto &[checked, excludedCount] = perFunction[r.function];
        if (v.excluded.empty()) {
            ++checked;
        } else {
            ++excludedCount;
            byReason[v.excluded].push_back(r.id);
        }
    }
    int excludedRows = 0;
    for (const auto &[function, counts] : perFunction) {
        std::cout << function << ": " << counts.first << " checked, " << counts.second
                  << " excluded\n";
        excludedRows += counts.second;
    }
    for (const auto &[reason, ids] : byReason)
        std::cout << "  excluded (" << reason << "): " << ids.size() << " rows\n";
    std::cout << vectors().size() << " rows, " << excludedRows << " excluded\n";
    EXPECT_EQ(vectors().size(), 1104u);
}

TEST(VariantVectors, decimalsFromFloatsAndTheirTextFollowWindows)
{
    checkRows({"VarDecFromR4", "VarBstrFromDec"});
}

TEST(VariantVectors, singlesAndDoublesAsText)
{
    checkRows({"VarBstrFromR4", "VarBstrFromR8"});
}

TEST(VariantVectors, integerConversionsRoundTheExactValueToEven)
{
    checkRows({"VarI4FromDec", "VarI2FromDec", "VarI4FromR8", "VarI2FromR8"});
}

TEST(VariantVectors, decimalArithmeticAndRoundFollowWindows)
{
    checkRows({"VarDecAdd", "VarDecSub", "VarDecMul", "VarDecDiv", "VarDecRound"});
}

TEST(VariantVectors, textsReadAsNumbersThroughOneGrammar)
{
    checkRows({"VarDecFromStr", "VarI2FromStr", "VarI4FromStr", "VarR8FromStr(IsNumeric proxy)"});
}

TEST(VariantVectors, comparisonsOfValuesHeldInVariants)
{
    checkRows({"VarCmp"});
}
