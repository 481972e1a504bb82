#include "ui/analyzer/AddressFilter.h"

#include "core/VbError.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <new>
#include <string>

namespace tarvex {

namespace {

// ECMAScript's reading of \u hhhh, \x hh, empty classes, unset back references and "$";
// caseless matching folds letters beyond ASCII too (an address may hold "ä"). Invalid UTF-8 in
// an address simply does not match instead of failing the call.
constexpr uint32_t CompileOptions = PCRE2_CASELESS | PCRE2_UTF | PCRE2_ALT_BSUX |
                                    PCRE2_ALLOW_EMPTY_CLASS | PCRE2_MATCH_UNSET_BACKREF |
                                    PCRE2_DOLLAR_ENDONLY | PCRE2_MATCH_INVALID_UTF |
                                    PCRE2_NEVER_BACKSLASH_C;
constexpr uint32_t ExtraOptions = PCRE2_EXTRA_ALT_BSUX;

// Patterns longer than this are refused: they only cost compile time and memory.
constexpr size_t MaxPatternLength = 4096;

std::string describe(int errorCode)
{
    PCRE2_UCHAR buffer[256];
    if (pcre2_get_error_message(errorCode, buffer, sizeof buffer) < 0)
        return "Invalid regular expression";
    return reinterpret_cast<const char *>(buffer);
}

} // namespace

struct AddressFilter::Engine {
    pcre2_compile_context *compileContext = nullptr;
    pcre2_match_context *matchContext = nullptr;
    pcre2_code *code = nullptr;
    pcre2_match_data *matchData = nullptr;

    ~Engine()
    {
        pcre2_match_data_free(matchData);
        pcre2_code_free(code);
        pcre2_match_context_free(matchContext);
        pcre2_compile_context_free(compileContext);
    }
};

AddressFilter::AddressFilter(std::string_view pattern) : AddressFilter(pattern, Limits{}) {}

AddressFilter::AddressFilter(std::string_view pattern, Limits limits)
    : m_engine(std::make_unique<Engine>()), m_limits(limits), m_allowance(limits.allowance)
{
    if (pattern.empty())
        return; // matches everything without asking the engine
    if (pattern.size() > MaxPatternLength)
        throw VbError(errc::InvalidProcedureCall, "Regular expression is too long");

    Engine &e = *m_engine;
    e.compileContext = pcre2_compile_context_create(nullptr);
    e.matchContext = pcre2_match_context_create(nullptr);
    if (!e.compileContext || !e.matchContext)
        throw std::bad_alloc();
    pcre2_set_compile_extra_options(e.compileContext, ExtraOptions);
    // Deep nesting of parentheses is refused at compile time rather than risking the stack.
    pcre2_set_parens_nest_limit(e.compileContext, 250);
    pcre2_set_depth_limit(e.matchContext, limits.depth);
    pcre2_set_heap_limit(e.matchContext, limits.heapKiB);

    int errorCode = 0;
    PCRE2_SIZE errorOffset = 0;
    e.code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                           CompileOptions, &errorCode, &errorOffset, e.compileContext);
    if (!e.code)
        throw VbError(errc::InvalidProcedureCall, describe(errorCode));
    e.matchData = pcre2_match_data_create_from_pattern(e.code, nullptr);
    if (!e.matchData)
        throw std::bad_alloc();
}

AddressFilter::~AddressFilter() = default;
AddressFilter::AddressFilter(AddressFilter &&) noexcept = default;
AddressFilter &AddressFilter::operator=(AddressFilter &&) noexcept = default;

bool AddressFilter::matches(std::string_view address) const
{
    m_hitLimit = false;
    const Engine &e = *m_engine;
    if (!e.code)
        return true;
    const uint32_t limit = stepLimit();
    pcre2_set_match_limit(e.matchContext, limit);
    // The engine refuses a null subject even when it is empty.
    const char *subject = address.data() ? address.data() : "";
    int rc = pcre2_match(e.code, reinterpret_cast<PCRE2_SPTR>(subject), address.size(), 0, 0,
                         e.matchData, e.matchContext);
    if (rc >= 0)
        return true;
    if (rc == PCRE2_ERROR_MATCHLIMIT || rc == PCRE2_ERROR_DEPTHLIMIT ||
        rc == PCRE2_ERROR_HEAPLIMIT) {
        m_hitLimit = true;
        m_allowance -= std::min(m_allowance, limit);
    }
    return false;
}

uint32_t AddressFilter::stepLimit() const
{
    return std::min(m_limits.steps, std::max(m_limits.spentSteps, m_allowance));
}

} // namespace tarvex
