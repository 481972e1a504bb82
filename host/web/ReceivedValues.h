#pragma once
// ReceivedValues: the arguments of the last message received at each address, per type-tag
// string, which the OSCQuery namespace shows as a node's VALUE. One Variant per type tag, in
// tag order (Empty for a tag that carries no data: T, F, N, I, "[" and "]").
//
//   values.record("/fader1", "f", {Variant::single(0.5f)});
//   const std::vector<Variant> *last = values.find("/fader1", "f");   // nullptr: none yet
//
// Bounded: once it holds MaxEntries addresses and tag strings, a new one is not kept (a stream
// of strangers' addresses never grows it without end); those it holds still follow.

#include "core/Variant.h"

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarvex::host {

class ReceivedValues {
public:
    static constexpr size_t MaxEntries = 4096;

    // Whether it changed what is held (a new address counts; one not kept does not).
    bool record(const std::string &address, const std::string &tags, std::vector<Variant> values);
    const std::vector<Variant> *find(const std::string &address, const std::string &tags) const;
    void clear() { m_values.clear(); }

private:
    std::map<std::pair<std::string, std::string>, std::vector<Variant>> m_values;
};

// One OSC message as it came: its address, its type tags joined ("f", "sf"; "" for none), one
// value per tag as ReceivedValues holds them, and its bytes as a datagram of its own.
struct ReceivedMessage {
    std::string address;
    std::string tags;
    std::vector<Variant> values;
    std::vector<uint8_t> bytes;
};
// The messages of a datagram, those of bundles included; none for bytes that are no OSC.
std::vector<ReceivedMessage> receivedMessages(std::span<const uint8_t> datagram);
// {"event":"value","address":"/fader1","type":"f","args":[0.5]}: the page's form of a value.
std::string valueEventJson(const ReceivedMessage &message);

} // namespace tarvex::host
