#pragma once
// AddressFilter: the analyzer's regular expression over message addresses. The syntax is
// ECMAScript-like, matching ignores case, and an address is shown when the pattern matches
// anywhere in it; the empty pattern matches every address.
//
//   AddressFilter filter("fader");      // raises error 5 for an invalid pattern
//   filter.matches("/FADER2");          // true
//
// Patterns are typed by the user and addresses arrive from the network, so matching effort is
// bounded: the engine never recurses on the machine stack, and a match that needs more than
// the limits below counts as no match for that address instead of hanging the window. The
// analyzer makes one filter per datagram, and a filter also bounds the work of all its matches
// together: once the matches that gave up have used its allowance, each further match gets
// only a small number of steps, enough for an ordinary pattern on an ordinary address.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tarvex {

class AddressFilter {
public:
    // Limits of one match: backtracking steps, nested backtracking depth, and the heap the
    // engine may use for its backtracking frames.
    struct Limits {
        uint32_t steps = 100'000; // a few milliseconds; real addresses need far fewer
        uint32_t depth = 10'000;
        uint32_t heapKiB = 4 * 1024;
        // The steps the matches that give up may use together, and what each match gets after.
        uint32_t allowance = 1'000'000;
        uint32_t spentSteps = 2'000;
    };

    // Compiles the pattern (UTF-8). An invalid pattern raises error 5 (invalid procedure call)
    // with the engine's description.
    explicit AddressFilter(std::string_view pattern);
    AddressFilter(std::string_view pattern, Limits limits);
    ~AddressFilter();
    AddressFilter(AddressFilter &&) noexcept;
    AddressFilter &operator=(AddressFilter &&) noexcept;

    // Whether the pattern matches somewhere in the address (UTF-8). False also when the match
    // would exceed the limits.
    bool matches(std::string_view address) const;

    // Whether the last call of matches() gave up at a limit, and the step limit the next call
    // gets (for tests and diagnostics).
    bool lastMatchHitLimit() const { return m_hitLimit; }
    uint32_t stepLimit() const;

private:
    struct Engine;
    std::unique_ptr<Engine> m_engine;
    Limits m_limits;
    mutable uint32_t m_allowance;
    mutable bool m_hitLimit = false;
};

} // namespace tarvex
