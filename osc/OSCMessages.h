#pragma once
// OSCMessages: the decoded form of one datagram, as OSCReader::readPacket leaves it.
//
//   OSCMessages received;
//   OSCReader::readPacket(bytes, received);
//   for (OSCMessages::Element e : received.elements())
//       if (e.isMessage()) use(e.message().address(), e.message().slot(0));
//
// The datagram's element list holds one message for a plain message, or one element per bundle
// element in datagram order; an element that is itself a bundle stands as that bundle's own
// element list. A message keeps its address, its type tags (the single entry "Empty" when it
// has none) and its argument lists: one slot per argument kind ("i", "f", "s"), numbered by the
// kind's first tag, each holding that kind's values in tag order. Integers are Long values,
// floats decimals, strings texts; the "Empty" form has one slot holding the 16-bit integer 0.
// The floats' decimals are made on the first read of their slot: a message that matches no row
// never pays for them (a float that a decimal cannot hold has abandoned the datagram already).
//
// The object keeps its storage between datagrams, so decoding into the same object again
// allocates nothing once it has seen datagrams of that shape.

#include "core/Variant.h"

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::osc {

class PacketDecoder;

class OSCMessage {
public:
    static constexpr size_t MaxValuesPerKind = 51;

    const std::string &address() const { return m_address; }

    // TypeTags: one entry per byte of the type-tag string, or the single entry "Empty".
    bool hasEmptyTags() const { return m_emptyTags; }
    size_t tagCount() const { return m_emptyTags ? 1 : m_tags.size(); }
    // The entry as text: "Empty", or the tag's character ("i", "f", "s", ...).
    std::string_view tag(size_t index) const;
    // The bytes of the type-tag string without the comma; empty for the "Empty" form.
    std::string_view tagBytes() const { return m_tags; }

    // ArgumentLists.
    size_t slotCount() const { return m_slotCount; }
    std::span<const Variant> slot(size_t index) const
    {
        if (m_floatsPending && index == m_floatSlot)
            makeFloatDecimals();
        return std::span<const Variant>(m_values).subspan(m_slotStart[index], m_slotSize[index]);
    }

    // Where the message lies in the datagram it was decoded from: its address as it came, and
    // its argument bytes. Valid with that datagram only (OSCWriter::rewriteMessage uses them).
    struct Extent {
        uint16_t addressAt = 0, addressSize = 0;
        uint16_t argumentsAt = 0, argumentsEnd = 0;
    };
    const Extent &extent() const { return m_extent; }

private:
    friend class OSCReader;
    friend class PacketDecoder;

    void makeFloatDecimals() const;

    std::string m_address;
    std::string m_tags; // the raw tag bytes, without the comma
    bool m_emptyTags = false;
    // Every slot's values, slot after slot; the float slot's are stale while m_floatsPending.
    mutable std::vector<Variant> m_values;
    std::vector<float> m_floats; // the float arguments as received, in tag order
    uint8_t m_floatSlot = 0;
    mutable bool m_floatsPending = false;
    std::array<uint16_t, 4> m_slotStart{};
    std::array<uint16_t, 4> m_slotSize{};
    uint8_t m_slotCount = 0;
    Extent m_extent;
    std::array<int8_t, 3> m_slotOfKind{}; // each kind's slot ("i", "f", "s"), or -1
};

class OSCMessages {
    struct Node {
        bool isBundle;
        uint32_t index; // into the messages, or into the bundles
    };
    struct Range {
        uint32_t first;
        uint32_t count;
    };

public:
    class List;

    // One element of a list: a message or a nested bundle's element list.
    class Element {
    public:
        bool isMessage() const { return !m_node.isBundle; }
        // Precondition: isMessage().
        const OSCMessage &message() const { return m_owner->m_messages[m_node.index]; }
        // Precondition: !isMessage().
        List bundle() const;

    private:
        friend class OSCMessages;
        Element(const OSCMessages *owner, Node node) : m_owner(owner), m_node(node) {}
        const OSCMessages *m_owner;
        Node m_node;
    };

    class List {
    public:
        size_t size() const { return m_nodes.size(); }
        bool empty() const { return m_nodes.empty(); }
        Element operator[](size_t index) const { return {m_owner, m_nodes[index]}; }

        class iterator {
        public:
            Element operator*() const { return {m_owner, *m_node}; }
            iterator &operator++()
            {
                ++m_node;
                return *this;
            }
            bool operator==(const iterator &other) const { return m_node == other.m_node; }

        private:
            friend class List;
            iterator(const OSCMessages *owner, const Node *node) : m_owner(owner), m_node(node) {}
            const OSCMessages *m_owner;
            const Node *m_node;
        };
        iterator begin() const { return {m_owner, m_nodes.data()}; }
        iterator end() const { return {m_owner, m_nodes.data() + m_nodes.size()}; }

    private:
        friend class OSCMessages;
        List(const OSCMessages *owner, std::span<const Node> nodes) : m_owner(owner), m_nodes(nodes)
        {}
        const OSCMessages *m_owner;
        std::span<const Node> m_nodes;
    };

    // The datagram's element list.
    List elements() const { return listOf(m_top); }
    // Whether the decoder read the datagram leniently: an address that is neither an OSC
    // address nor "#bundle", type tags missing or not where they belong, a value, string or
    // padding cut short by the end, a tag whose data it skips or that OSC does not define,
    // bytes after the message, or a bundle element that is not the size it says. The values
    // are the same either way; this only tells that the sender does not write OSC as it is.
    bool irregular() const { return m_irregular; }
    size_t size() const { return m_top.count; }
    bool empty() const { return m_top.count == 0; }
    Element operator[](size_t index) const { return elements()[index]; }

    // Forgets the decoded datagram, keeping the storage.
    void clear();

private:
    friend class OSCReader;
    friend class PacketDecoder;

    List listOf(Range range) const
    {
        return {this, std::span<const Node>(m_lists).subspan(range.first, range.count)};
    }

    std::vector<OSCMessage> m_messages; // the first m_messageCount are in use
    size_t m_messageCount = 0;
    std::vector<Node> m_lists;    // every element list, each one contiguous
    std::vector<Range> m_bundles; // nested bundles' element lists within m_lists
    std::vector<Node> m_pending;  // elements of the bundles being decoded
    Range m_top{0, 0};
    bool m_irregular = false;
};

inline OSCMessages::List OSCMessages::Element::bundle() const
{
    return m_owner->listOf(m_owner->m_bundles[m_node.index]);
}

} // namespace tarvex::osc
