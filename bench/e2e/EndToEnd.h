#pragma once
// The end-to-end benchmark's shared pieces: the record that the sender process and the receiver
// share (send and handle times per sequence number), the datagram, and the clock.
//
// Every datagram is "/fader1" with one float: its sequence number. Receivers read the number
// back (Tarvex through its action row, which maps 0..1000000 onto itself, so the host target's
// execute gets the number as its value) and stamp the time it was handled.

#include <atomic>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace tarvex::bench {

constexpr uint32_t MaxDatagrams = 1'000'000;
// The float's offset in the datagram: "/fader1\0" (8 bytes) and ",f\0\0" (4 bytes).
constexpr size_t ValueOffset = 12;
constexpr size_t DatagramSize = 16;

enum class Mode { Burst, Paced, PingPong, Backlog };

// Datagrams per round of the backlog mode: they are queued while the receiver waits, then the
// receiver drains them; the rate counts the draining only. Small enough for the socket's buffer.
constexpr uint32_t BacklogRound = 4000;

struct ModeSettings {
    Mode mode;
    uint32_t count;  // datagrams to send
    uint32_t rateHz; // paced only
    int timeLimitMs; // the sender stops at this time even when not all are sent
};

// Lives in memory shared by the receiver and the forked sender.
struct SharedRecord {
    std::atomic<uint32_t> sent;
    std::atomic<uint32_t> handled;
    std::atomic<int> senderDone;
    // Backlog rounds: the receiver waits (paused) while the sender queues a round (ready).
    std::atomic<int> receiverPaused;
    std::atomic<int> roundReady;
    uint64_t sendNs[MaxDatagrams];
    uint64_t handledNs[MaxDatagrams];

    void reset();
    // The receiver's part: the datagram with this number has been handled now.
    void markHandled(uint32_t number);
};

// Maps the record into memory a forked child shares; never freed (the program ends).
SharedRecord &sharedRecord();

inline uint64_t nowNs()
{
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<uint64_t>(t.tv_sec) * 1'000'000'000u + static_cast<uint64_t>(t.tv_nsec);
}

// The datagram carrying this sequence number.
void fillDatagram(uint8_t (&bytes)[DatagramSize], uint32_t number);
// The sequence number of a received datagram, or -1 for one that is not ours.
int64_t numberOf(const uint8_t *bytes, size_t size);

// Sends to 127.0.0.1:port in a forked process, in the mode given; returns the child's pid.
int startSender(uint16_t port, const ModeSettings &settings);
// Waits for the sender to end.
void joinSender(int pid);

struct Result {
    std::string impl;
    Mode mode;
    double handledPerSecond = 0;
    uint32_t sent = 0;
    uint32_t lost = 0;
    double p50us = 0;
    double p99us = 0;
    // The receiving process's CPU time (user and system) per handled datagram: its capacity,
    // whatever the sender managed on a busy machine.
    double cpuUsPerDatagram = 0;
    // Heap allocations (malloc and operator new) per handled datagram while the stream ran.
    double allocsPerDatagram = 0;
    // The latency's quantiles, 0 %, 1 %, ... 100 %, for the distribution's picture.
    std::vector<double> quantilesUs;
};

// Heap allocations the receiving process has made so far (counted by the benchmark's own
// malloc, which forwards to the C library's).
uint64_t allocationCount();

// What a receiver measures of its own run: CPU time and allocations from start() to stop().
class ReceiverCost {
public:
    void start();
    void stop();
    double cpuSeconds() const { return m_cpu; }
    uint64_t allocations() const { return m_allocations; }

private:
    double m_cpu = 0, m_cpuStart = 0;
    uint64_t m_allocations = 0, m_allocationsStart = 0;
};

// The CPU time this process has used so far, in seconds.
double processCpuSeconds();

// The receiver's side of a backlog round: waits until the sender has queued the next round;
// false when the sender is done instead.
bool waitForRound();

// Reads the record after a run, with what the receiver cost during it.
Result summarize(const std::string &impl, Mode mode, const ReceiverCost &cost);
// One JSON line; round numbers the alternating runs of one invocation.
std::string toJson(const Result &result, int round);
const char *modeName(Mode mode);

// Sets the receive buffer a receiver asks for (4 MiB, as Tarvex's socket does).
void setReceiveBuffer(int fd);

} // namespace tarvex::bench
