// The actions as JSON text with 10 000 rows: the plug-in's import and export, and the host's
// rows view reading the export, beside the binary actions file's own decoding of the same rows.
//
//   build/bench/bench/tarvex_actions_bench
//
// Benchmarks (one iteration is the whole table): actions/import/10000, actions/export/10000,
// actions/rows/10000 (the host reads the export and works out every row's reasons) and the
// baseline actions/binary/10000 (decoding "TarvexActions.dat" of the same rows).

#include "host/objects/ActionRows.h"
#include "store/ArrayCodec.h"
#include "tests/support/ActionRows.h"
#include "ui/editor/ActionsJson.h"

#include <benchmark/benchmark.h>

namespace {

using namespace tarvex;

constexpr int Rows = 10000;

VarArray bigTable()
{
    std::vector<Variant> rows;
    for (int i = 0; i < Rows; ++i) {
        const std::string address = "/deck/fader" + std::to_string(i);
        const VarArray target = VarArray::ofValues(
            {Variant("DMX"), Variant("Fader " + std::to_string(i)),
             Variant("curve=square;fade=300"), Variant::byte(1), Variant(i % 512 + 1)});
        rows.push_back(test::actionRow(
            address, {"f", "i"},
            {{test::condition(">", test::range("0.5", "0", "1"), target)}, {test::never()}},
            i + 1));
    }
    return VarArray::ofValues(std::move(rows));
}

const VarArray &table()
{
    static const VarArray rows = bigTable();
    return rows;
}

const std::string &exported()
{
    static const std::string text = exportActionsJson(table());
    return text;
}

void importRows(benchmark::State &state)
{
    for (auto _ : state) {
        ActionsImport read =
            importActionsJson(exported(), {.storedText = arraycodec::whyTextCannotBeStored});
        benchmark::DoNotOptimize(read.table);
    }
    state.counters["bytes"] = static_cast<double>(exported().size());
}

void exportRows(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(exportActionsJson(table()));
}

void hostRows(benchmark::State &state)
{
    const host::Universes universes(4);
    const host::TargetHits hits;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            host::rowStatuses(host::readActionRows(exported()), universes, hits));
}

void binaryRows(benchmark::State &state)
{
    const std::string bytes = arraycodec::encodeArrayFile(table());
    const std::span<const uint8_t> content(reinterpret_cast<const uint8_t *>(bytes.data()),
                                           bytes.size());
    for (auto _ : state) {
        VarArray rows;
        arraycodec::decodeArrayFile(content, rows);
        benchmark::DoNotOptimize(rows);
    }
    state.counters["bytes"] = static_cast<double>(bytes.size());
}

BENCHMARK(importRows)->Name("actions/import/10000")->Unit(benchmark::kMillisecond);
BENCHMARK(exportRows)->Name("actions/export/10000")->Unit(benchmark::kMillisecond);
BENCHMARK(hostRows)->Name("actions/rows/10000")->Unit(benchmark::kMillisecond);
BENCHMARK(binaryRows)->Name("actions/binary/10000")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
