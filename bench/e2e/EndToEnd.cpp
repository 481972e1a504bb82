#include "bench/e2e/EndToEnd.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>

// The receiver's allocations, counted for the whole process: glibc's malloc family is taken
// over here and forwards to the C library's own entry points. operator new allocates through
// malloc, so it is counted too.
extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *pointer, size_t size);

static std::atomic<uint64_t> allocations{0};

void *malloc(size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}
void *calloc(size_t count, size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(count, size);
}
void *realloc(void *pointer, size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(pointer, size);
}
}

namespace tarvex::bench {

uint64_t allocationCount()
{
    return allocations.load(std::memory_order_relaxed);
}

void ReceiverCost::start()
{
    m_cpuStart = processCpuSeconds();
    m_allocationsStart = allocationCount();
}

void ReceiverCost::stop()
{
    m_cpu += processCpuSeconds() - m_cpuStart;
    m_allocations += allocationCount() - m_allocationsStart;
}

void SharedRecord::reset()
{
    sent = 0;
    handled = 0;
    senderDone = 0;
    receiverPaused = 0;
    roundReady = 0;
    std::memset(sendNs, 0, sizeof sendNs);
    std::memset(handledNs, 0, sizeof handledNs);
}

void SharedRecord::markHandled(uint32_t number)
{
    if (number < MaxDatagrams && handledNs[number] == 0) {
        handledNs[number] = nowNs();
        handled.fetch_add(1, std::memory_order_release);
    }
}

SharedRecord &sharedRecord()
{
    static SharedRecord *record = [] {
        void *memory = ::mmap(nullptr, sizeof(SharedRecord), PROT_READ | PROT_WRITE,
                              MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED)
            throw std::runtime_error("mmap failed");
        return new (memory) SharedRecord;
    }();
    return *record;
}

void fillDatagram(uint8_t (&bytes)[DatagramSize], uint32_t number)
{
    static constexpr uint8_t head[ValueOffset] = {'/', 'f', 'a', 'd', 'e', 'r',
                                                  '1', 0,   ',', 'f', 0,   0};
    std::memcpy(bytes, head, sizeof head);
    uint32_t bits = std::bit_cast<uint32_t>(static_cast<float>(number));
    for (int i = 0; i < 4; ++i)
        bytes[ValueOffset + i] = static_cast<uint8_t>(bits >> (24 - 8 * i));
}

int64_t numberOf(const uint8_t *bytes, size_t size)
{
    if (size != DatagramSize)
        return -1;
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i)
        bits = (bits << 8) | bytes[ValueOffset + i];
    return static_cast<int64_t>(std::bit_cast<float>(bits));
}

void setReceiveBuffer(int fd)
{
    int size = 4 * 1024 * 1024;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
}

namespace {

double percentile(std::vector<uint64_t> &values, double p)
{
    if (values.empty())
        return 0;
    auto index = static_cast<size_t>(p * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + static_cast<long>(index), values.end());
    return static_cast<double>(values[index]) / 1000.0;
}

// Datagrams per second while the receiver drained the backlog rounds: from the first to the
// last datagram handled in each round.
double drainRate(const SharedRecord &r, uint32_t sent)
{
    uint64_t draining = 0;
    uint64_t counted = 0;
    for (uint32_t first = 0; first < sent; first += BacklogRound) {
        uint64_t low = UINT64_MAX, high = 0, handled = 0;
        for (uint32_t i = first; i < std::min(sent, first + BacklogRound); ++i) {
            if (r.handledNs[i] == 0)
                continue;
            low = std::min(low, r.handledNs[i]);
            high = std::max(high, r.handledNs[i]);
            ++handled;
        }
        if (handled > 1) {
            draining += high - low;
            counted += handled - 1;
        }
    }
    return draining ? static_cast<double>(counted) * 1e9 / static_cast<double>(draining) : 0;
}

} // namespace

bool waitForRound()
{
    SharedRecord &r = sharedRecord();
    r.receiverPaused.store(1, std::memory_order_release);
    while (!r.roundReady.load(std::memory_order_acquire)) {
        // The sender marks its last round ready just before it is done: look once more.
        if (r.senderDone.load(std::memory_order_acquire) &&
            !r.roundReady.load(std::memory_order_acquire))
            return false;
    }
    r.roundReady.store(0, std::memory_order_release);
    return true;
}

double processCpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval &t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

const char *modeName(Mode mode)
{
    switch (mode) {
    case Mode::Burst: return "burst";
    case Mode::Paced: return "paced";
    case Mode::PingPong: return "pingpong";
    case Mode::Backlog: return "backlog";
    }
    return "?";
}

Result summarize(const std::string &impl, Mode mode, const ReceiverCost &cost)
{
    SharedRecord &r = sharedRecord();
    Result result;
    result.impl = impl;
    result.mode = mode;
    result.sent = r.sent.load();
    std::vector<uint64_t> latencies;
    uint64_t firstSend = UINT64_MAX, lastHandled = 0;
    for (uint32_t i = 0; i < result.sent; ++i) {
        firstSend = std::min(firstSend, r.sendNs[i]);
        if (r.handledNs[i] == 0)
            continue;
        lastHandled = std::max(lastHandled, r.handledNs[i]);
        latencies.push_back(r.handledNs[i] - std::min(r.handledNs[i], r.sendNs[i]));
    }
    result.lost = result.sent - static_cast<uint32_t>(latencies.size());
    if (mode == Mode::Backlog)
        result.handledPerSecond = drainRate(r, result.sent);
    else if (!latencies.empty() && lastHandled > firstSend)
        result.handledPerSecond = static_cast<double>(latencies.size()) * 1e9 /
                                  static_cast<double>(lastHandled - firstSend);
    if (!latencies.empty()) {
        const auto handled = static_cast<double>(latencies.size());
        result.cpuUsPerDatagram = cost.cpuSeconds() * 1e6 / handled;
        result.allocsPerDatagram = static_cast<double>(cost.allocations()) / handled;
        for (int q = 0; q <= 100; ++q)
            result.quantilesUs.push_back(percentile(latencies, q / 100.0));
    }
    result.p50us = percentile(latencies, 0.50);
    result.p99us = percentile(latencies, 0.99);
    return result;
}

std::string toJson(const Result &result, int round)
{
    char line[320];
    std::snprintf(
        line, sizeof line,
        "{\"impl\": \"%s\", \"mode\": \"%s\", \"round\": %d, \"handled_per_s\": %.0f, "
        "\"sent\": %u, \"lost\": %u, \"p50_us\": %.1f, \"p99_us\": %.1f, \"cpu_us\": %.2f, "
        "\"allocs\": %.3f, \"quantiles_us\": [",
        result.impl.c_str(), modeName(result.mode), round, result.handledPerSecond, result.sent,
        result.lost, result.p50us, result.p99us, result.cpuUsPerDatagram, result.allocsPerDatagram);
    std::string json = line;
    for (size_t i = 0; i < result.quantilesUs.size(); ++i) {
        std::snprintf(line, sizeof line, "%s%.1f", i ? ", " : "", result.quantilesUs[i]);
        json += line;
    }
    return json + "]}";
}

} // namespace tarvex::bench
