// Fades against a model of our own making: thousands of seeded random runs in which targets
// (8 and 16 bits, every curve, fade times from none to two seconds, some sharing channels) are
// executed at random moments on a clock of the test's own, with frames at random moments in
// between, and a level equal to the one a fade is passing told often. After every frame each
// channel must hold the model's level for that moment; at the end, the level it was last told,
// and the DMX sender, pumped on the same clock as its worker would be, must have sent that frame
// within one frame period.
//
// Left to other tests: limits other than 0..max (positionOf, LevelsTest) and the frame clock on
// Qt's loop (the road test through olad).

#include "host/dmx/DmxSender.h"
#include "host/objects/DmxTargetFactory.h"
#include "tests/support/RecordingDmxOutput.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

namespace tarvex::host {
namespace {

using Ns = int64_t;
constexpr int Channels = 12;
constexpr Ns Millisecond = 1'000'000;

uint64_t roundHalfEven(uint64_t numerator, uint64_t denominator)
{
    uint64_t quotient = numerator / denominator;
    const uint64_t twice = 2 * (numerator % denominator);
    if (twice > denominator || (twice == denominator && quotient % 2 == 1))
        ++quotient;
    return quotient;
}

// The level of value n of 0..d: curve(n / d) x full, the nearest whole number, halves to even.
uint32_t modelLevel(Curve curve, uint64_t n, uint64_t d, uint64_t full)
{
    switch (curve) {
    case Curve::Linear: return static_cast<uint32_t>(roundHalfEven(full * n, d));
    case Curve::Square: return static_cast<uint32_t>(roundHalfEven(full * n * n, d * d));
    case Curve::SCurve:
        return static_cast<uint32_t>(
            roundHalfEven(full * (3 * n * n * d - 2 * n * n * n), d * d * d));
    case Curve::SquareRoot: {
        // x = sqrt(full^2 n / d); below = floor(x), then the nearer of below and below + 1.
        const uint64_t square = full * full * n;
        auto below = static_cast<uint64_t>(std::sqrt(static_cast<double>(square) / d));
        while (below * below * d > square)
            --below;
        while ((below + 1) * (below + 1) * d <= square)
            ++below;
        const uint64_t half = (2 * below + 1) * (2 * below + 1) * d; // (below + 1/2)^2 x 4d
        if (4 * square > half || (4 * square == half && below % 2 == 1))
            ++below;
        return static_cast<uint32_t>(below);
    }
    }
    return 0;
}

// A slot's level over time: a straight line from `from` at `start` to `to` at start + duration.
struct Line {
    int first = 1;
    bool wide = false;
    uint32_t from = 0, to = 0;
    Ns start = 0, duration = 0;

    bool moving(Ns t) const { return t < start + duration; }
    // The whole level nearest the line; a half goes the way the line heads.
    uint32_t at(Ns t) const
    {
        if (!moving(t))
            return to;
        if (t <= start)
            return from;
        const auto done = static_cast<uint64_t>(t - start), whole = static_cast<uint64_t>(duration);
        const uint64_t scaled = from * (whole - done) + to * done;
        uint64_t level = scaled / whole;
        const uint64_t twice = 2 * (scaled % whole);
        if (twice > whole || (twice == whole && to > from))
            ++level;
        return static_cast<uint32_t>(level);
    }
};

// Where the channels of universe 1 should be: each shows its byte of the line of the slot that
// last took it. The last level told to a channel wins; a line that loses a channel stops where
// it is on the rest of its own.
class Model {
public:
    Model()
    {
        for (int c = 1; c <= Channels; ++c)
            m_lines[c] = std::make_shared<const Line>(Line{c});
    }

    uint8_t channel(int c, Ns t) const
    {
        const Line &line = *m_lines[c];
        const uint32_t level = line.at(t);
        if (!line.wide)
            return static_cast<uint8_t>(level);
        return static_cast<uint8_t>(c == line.first ? level >> 8 : level & 0xFF);
    }
    uint32_t slotLevel(int first, bool wide, Ns t) const
    {
        return wide ? channel(first, t) << 8 | channel(first + 1, t) : channel(first, t);
    }
    bool moving(Ns t) const
    {
        for (int c = 1; c <= Channels; ++c) {
            if (m_lines[c]->moving(t))
                return true;
        }
        return false;
    }

    void tell(int first, bool wide, uint32_t level, Ns duration, Ns t)
    {
        const std::shared_ptr<const Line> own = m_lines[first];
        const bool ownWhole =
            own->first == first && own->wide == wide && (!wide || m_lines[first + 1] == own);
        if (ownWhole && duration > 0 && own->to == level)
            return; // the fade goes on as it was
        stop(first, t);
        if (wide)
            stop(first + 1, t);
        const uint32_t from = slotLevel(first, wide, t);
        const auto line = std::make_shared<const Line>(
            Line{first, wide, from, level, t, from == level ? 0 : duration});
        m_lines[first] = line;
        if (wide)
            m_lines[first + 1] = line;
    }

private:
    // The line on channel c, wherever else it shows, stays where it is at t.
    void stop(int c, Ns t)
    {
        const std::shared_ptr<const Line> line = m_lines[c];
        const uint32_t level = line->at(t);
        const auto still =
            std::make_shared<const Line>(Line{line->first, line->wide, level, level});
        for (auto &other : m_lines) {
            if (other == line)
                other = still;
        }
    }

    std::array<std::shared_ptr<const Line>, Channels + 1> m_lines; // [0] unused
};

struct ModelTarget {
    HostTargetPtr target;
    int first;
    bool wide;
    Curve curve;
    int32_t max;
    Ns fade;
    bool linearToFull() const { return curve == Curve::Linear && max == (wide ? 65535 : 255); }
};

class FadeRun {
public:
    explicit FadeRun(unsigned seed) : m_random(seed)
    {
        factory.fades()->setClock([this] { return timeAt(m_now); });
        universes->subscribe([this](uint8_t universe, const Universes::Frame &frame) {
            sender.universeChanged(universe, frame);
        });
        for (int i = 0; i < 5; ++i)
            m_targets.push_back(makeTarget());
    }

    // Random executes and frames; false, with a failure added, at the first disagreement.
    bool run(int events)
    {
        for (int e = 0; e < events; ++e) {
            advanceBy(pick(0, 7) == 0 ? 0 : pick(1, 40) * Millisecond + pick(0, 999'999));
            if (pick(0, 9) >= 4)
                execute();
            else if (!frameAgrees())
                return false;
        }
        advanceBy(3000 * Millisecond); // past every fade's end
        if (!frameAgrees())
            return false;
        EXPECT_FALSE(factory.fades()->running());
        const Ns lastFrame = m_now;
        while (m_due <= lastFrame + 25 * Millisecond)
            m_due = pumpAt(m_due);
        const Universes::Frame &final = universes->frame(1);
        const bool sent = !recording->sent.empty() && recording->sent.back().frame == final;
        EXPECT_TRUE(sent || final == Universes::Frame{})
            << "the last frame a fade wrote was not sent within a frame period";
        return true;
    }

private:
    static Fades::Clock::time_point timeAt(Ns t)
    {
        return Fades::Clock::time_point{} + std::chrono::nanoseconds(t);
    }
    int64_t pick(int64_t low, int64_t high)
    {
        return std::uniform_int_distribution<int64_t>(low, high)(m_random);
    }

    ModelTarget makeTarget()
    {
        const bool wide = pick(0, 2) == 0;
        const int first = static_cast<int>(pick(1, wide ? Channels - 1 : Channels));
        const Curve curve = Curves[pick(0, 3)];
        const auto fadeMs = static_cast<uint32_t>(pick(0, 3) == 0 ? 0 : pick(1, 2000));
        const bool toFull = curve == Curve::Linear && pick(0, 1) == 0;
        const auto max = static_cast<int32_t>(toFull ? (wide ? 65535 : 255) : pick(1, 1000));
        const HostTargetPtr target =
            factory.CreateTarget(Variant(wide ? "DMX16" : "DMX"), Variant(""),
                                 Variant(optionsText({curve, fadeMs})), 1, first);
        return {target, first, wide, curve, max, fadeMs * Millisecond};
    }

    // The sender's worker: it wakes when due and at every change.
    void advanceBy(Ns gap)
    {
        m_now += gap;
        while (m_due <= m_now)
            m_due = pumpAt(m_due);
    }
    Ns pumpAt(Ns t) { return (sender.pump(timeAt(t)) - timeAt(0)).count(); }

    void execute()
    {
        const ModelTarget &t = m_targets[static_cast<size_t>(pick(0, 4))];
        // Often the very level the target's fade is passing now.
        int32_t value = static_cast<int32_t>(pick(0, t.max));
        if (t.linearToFull() && pick(0, 2) == 0)
            value = static_cast<int32_t>(model.slotLevel(t.first, t.wide, m_now));
        int32_t min = 0, max = t.max;
        t.target->Execute(value, min, max, Variant());
        model.tell(t.first, t.wide,
                   modelLevel(t.curve, static_cast<uint64_t>(value), static_cast<uint64_t>(t.max),
                              t.wide ? 65535 : 255),
                   t.fade, m_now);
        m_due = pumpAt(m_now);
    }

    bool frameAgrees()
    {
        const bool running = factory.fades()->step();
        m_due = pumpAt(m_now);
        for (int c = 1; c <= Channels; ++c) {
            if (universes->level(1, c) != model.channel(c, m_now)) {
                ADD_FAILURE() << "channel " << c << " at " << m_now
                              << " ns: " << int(universes->level(1, c)) << ", the model says "
                              << int(model.channel(c, m_now));
                return false;
            }
        }
        EXPECT_EQ(running, model.moving(m_now)) << "at " << m_now << " ns";
        return running == model.moving(m_now);
    }

    std::mt19937 m_random;
    std::shared_ptr<Universes> universes = std::make_shared<Universes>(1);
    DmxTargetFactory factory{universes, std::make_shared<HostEvents>()};
    std::shared_ptr<test::DmxRecording> recording = std::make_shared<test::DmxRecording>();
    dmx::DmxSender sender{std::make_unique<test::RecordingDmxOutput>(recording), {}};
    Model model;
    std::vector<ModelTarget> m_targets;
    Ns m_now = 1000 * Millisecond;
    Ns m_due = 0;
};

TEST(FadeModel, everyChannelFollowsTheModelAndEndsOnTheLevelItWasLastTold)
{
    for (unsigned seed = 1; seed <= 3000; ++seed) {
        FadeRun run(seed);
        if (!run.run(80)) {
            ADD_FAILURE() << "seed " << seed;
            return;
        }
    }
}

} // namespace
} // namespace tarvex::host
