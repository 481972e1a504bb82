// Decode time per datagram: OSCReader beside liblo and oscpack on one fixed corpus.
//
//   build/bench/bench/tarvex_decode_bench --benchmark_format=json
//
// Benchmarks are named decode/<impl>/<corpus>. One iteration decodes one datagram and reads
// what finding its rows takes, so cpu_time is the time per datagram; "datagrams_per_second"
// (items) and "seconds_per_datagram" say the same in the JSON output. liblo and oscpack read
// every argument as a C value. Tarvex makes the decimals of the float arguments when a row asks
// for them: decode/tarvex-values/<corpus> also reads every argument as the row would.

#include "core/VbError.h"
#include "osc/OSCReader.h"
#include "tests/support/OscBuilder.h"

#include <benchmark/benchmark.h>
#include <lo/lo.h>
#include <osc/OscReceivedElements.h>

#include <algorithm>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using tarvex::test::OscBuilder;

struct Datagram {
    std::string name;
    Bytes bytes;
    // Where each message's bytes lie, for decoders that only take single messages: the whole
    // datagram for a message, every message element (nested ones included) for a bundle.
    struct Span {
        size_t offset;
        size_t size;
    };
    std::vector<Span> messages;
};

uint32_t wordAt(const Bytes &bytes, size_t offset)
{
    return uint32_t{bytes[offset]} << 24 | uint32_t{bytes[offset + 1]} << 16 |
           uint32_t{bytes[offset + 2]} << 8 | uint32_t{bytes[offset + 3]};
}

bool isBundleAt(const Bytes &bytes, size_t offset, size_t size)
{
    static constexpr char Tag[] = "#bundle";
    return size >= 16 && std::equal(Tag, Tag + 8, bytes.begin() + static_cast<ptrdiff_t>(offset));
}

// Walks "#bundle", the time tag, then size-prefixed elements, descending into nested bundles.
void collectMessages(const Bytes &bytes, size_t offset, size_t size,
                     std::vector<Datagram::Span> &out)
{
    if (!isBundleAt(bytes, offset, size)) {
        out.push_back({offset, size});
        return;
    }
    const size_t end = offset + size;
    for (size_t pos = offset + 16; pos + 4 <= end;) {
        const size_t elementSize = wordAt(bytes, pos);
        pos += 4;
        if (pos + elementSize > end)
            throw std::runtime_error("bundle element runs past the end");
        collectMessages(bytes, pos, elementSize, out);
        pos += elementSize;
    }
}

Bytes mixerMessage()
{
    return OscBuilder()
        .message("/mixer/channel/12/eq/band/3/gain", ",fffs")
        .f32(-3.5f)
        .f32(1200.0f)
        .f32(0.707f)
        .str("peak")
        .bytes();
}

std::vector<Datagram> makeCorpus()
{
    std::vector<Datagram> corpus;
    auto add = [&corpus](std::string name, Bytes bytes) {
        Datagram d{std::move(name), std::move(bytes), {}};
        collectMessages(d.bytes, 0, d.bytes.size(), d.messages);
        corpus.push_back(std::move(d));
    };

    add("fader1", OscBuilder().message("/fader1", ",f").f32(0.75f).bytes());
    add("ifaddr", OscBuilder().message("/a/b", ",if").i32(42).f32(0.25f).bytes());
    add("mixer", mixerMessage());

    OscBuilder bundle;
    bundle.bundle();
    for (int i = 0; i < 8; ++i)
        bundle.element(mixerMessage());
    add("bundle8", bundle.bytes());

    OscBuilder floats;
    floats.message("/floats20", "," + std::string(20, 'f'));
    for (int i = 0; i < 20; ++i)
        floats.f32(0.05f * static_cast<float>(i) - 0.3f);
    add("floats20", floats.bytes());
    return corpus;
}

void reportPerDatagram(benchmark::State &state)
{
    state.SetItemsProcessed(state.iterations());
    state.counters["seconds_per_datagram"] = benchmark::Counter(
        1, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// ---- Tarvex: the way the program decodes, into one OSCMessages reused across datagrams.

// What dispatch reads of every message to find its rows: the address and the tags.
size_t readAddresses(const tarvex::osc::OSCMessages::List &list)
{
    size_t sum = 0;
    for (tarvex::osc::OSCMessages::Element e : list) {
        if (!e.isMessage()) {
            sum += readAddresses(e.bundle());
            continue;
        }
        sum += e.message().address().size() + e.message().tagBytes().size();
    }
    return sum;
}

// Every argument as a row's condition takes it.
size_t readValues(const tarvex::osc::OSCMessages::List &list)
{
    size_t sum = 0;
    for (tarvex::osc::OSCMessages::Element e : list) {
        if (!e.isMessage()) {
            sum += readValues(e.bundle());
            continue;
        }
        const tarvex::osc::OSCMessage &m = e.message();
        for (size_t s = 0; s < m.slotCount(); ++s) {
            for (const tarvex::Variant &v : m.slot(s))
                sum += static_cast<size_t>(v.type());
        }
    }
    return sum;
}

template <bool Values> void decodeTarvex(benchmark::State &state, const Datagram &datagram)
{
    const std::span<const uint8_t> bytes(datagram.bytes);
    tarvex::osc::OSCMessages out;
    for (auto _ : state) {
        tarvex::osc::OSCReader::readPacket(bytes, out);
        benchmark::DoNotOptimize(readAddresses(out.elements()));
        if constexpr (Values)
            benchmark::DoNotOptimize(readValues(out.elements()));
        benchmark::ClobberMemory();
    }
    reportPerDatagram(state);
}

// ---- liblo: lo_message_deserialise only takes a single message, so a bundle is decoded by
// deserialising each of its message elements in turn; the element boundaries are found once at
// start-up, outside the timed loop, which leaves liblo's bundle parsing out of its figure.

double readLoMessage(const uint8_t *data, size_t size)
{
    int result = 0;
    lo_message message = lo_message_deserialise(const_cast<uint8_t *>(data), size, &result);
    if (!message)
        throw std::runtime_error("liblo rejected the datagram: " + std::to_string(result));
    const char *types = lo_message_get_types(message);
    lo_arg **argv = lo_message_get_argv(message);
    const int argc = lo_message_get_argc(message);
    double sum = 0;
    for (int i = 0; i < argc; ++i) {
        switch (types[i]) {
        case LO_FLOAT: sum += argv[i]->f; break;
        case LO_INT32: sum += argv[i]->i; break;
        case LO_STRING: sum += static_cast<unsigned char>((&argv[i]->s)[0]); break;
        default: break;
        }
    }
    lo_message_free(message);
    return sum;
}

void decodeLiblo(benchmark::State &state, const Datagram &datagram)
{
    const uint8_t *base = datagram.bytes.data();
    for (auto _ : state) {
        double sum = 0;
        for (const Datagram::Span &m : datagram.messages)
            sum += readLoMessage(base + m.offset, m.size);
        benchmark::DoNotOptimize(sum);
    }
    reportPerDatagram(state);
}

// ---- oscpack: its own packet and bundle walk, every argument read through the checked accessors.

double readOscpackMessage(const osc::ReceivedMessage &message)
{
    double sum = 0;
    for (auto arg = message.ArgumentsBegin(); arg != message.ArgumentsEnd(); ++arg) {
        switch (arg->TypeTag()) {
        case osc::FLOAT_TYPE_TAG: sum += arg->AsFloat(); break;
        case osc::INT32_TYPE_TAG: sum += arg->AsInt32(); break;
        case osc::STRING_TYPE_TAG: sum += static_cast<unsigned char>(arg->AsString()[0]); break;
        default: break;
        }
    }
    return sum;
}

double readOscpackBundle(const osc::ReceivedBundle &bundle)
{
    double sum = 0;
    for (auto e = bundle.ElementsBegin(); e != bundle.ElementsEnd(); ++e) {
        if (e->IsBundle())
            sum += readOscpackBundle(osc::ReceivedBundle(*e));
        else
            sum += readOscpackMessage(osc::ReceivedMessage(*e));
    }
    return sum;
}

void decodeOscpack(benchmark::State &state, const Datagram &datagram)
{
    const auto *data = reinterpret_cast<const char *>(datagram.bytes.data());
    const size_t size = datagram.bytes.size();
    for (auto _ : state) {
        osc::ReceivedPacket packet(data, size);
        double sum = packet.IsBundle() ? readOscpackBundle(osc::ReceivedBundle(packet))
                                       : readOscpackMessage(osc::ReceivedMessage(packet));
        benchmark::DoNotOptimize(sum);
    }
    reportPerDatagram(state);
}

// Every implementation must accept every datagram before anything is timed.
void checkCorpus(const std::vector<Datagram> &corpus)
{
    for (const Datagram &d : corpus) {
        tarvex::osc::OSCMessages out;
        tarvex::osc::OSCReader::readPacket(d.bytes, out);
        if (out.empty())
            throw std::runtime_error(d.name + ": OSCReader decoded nothing");
        for (const Datagram::Span &m : d.messages)
            readLoMessage(d.bytes.data() + m.offset, m.size);
        osc::ReceivedPacket packet(reinterpret_cast<const char *>(d.bytes.data()), d.bytes.size());
        if (packet.IsBundle())
            readOscpackBundle(osc::ReceivedBundle(packet));
        else
            readOscpackMessage(osc::ReceivedMessage(packet));
    }
}

} // namespace

int main(int argc, char **argv)
{
    static const std::vector<Datagram> corpus = makeCorpus();
    checkCorpus(corpus);

    // Registered corpus by corpus, so the three implementations sit together in the output.
    for (const Datagram &d : corpus) {
        benchmark::RegisterBenchmark(("decode/tarvex/" + d.name).c_str(), decodeTarvex<false>, d);
        benchmark::RegisterBenchmark(("decode/tarvex-values/" + d.name).c_str(), decodeTarvex<true>,
                                     d);
        benchmark::RegisterBenchmark(("decode/liblo/" + d.name).c_str(), decodeLiblo, d);
        benchmark::RegisterBenchmark(("decode/oscpack/" + d.name).c_str(), decodeOscpack, d);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
