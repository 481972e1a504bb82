#pragma once
// ActionTable: the user's actions (`actionTable`), one row per action, with an index of the rows
// by OSC address so that a message finds its rows without walking the whole table.
//
// Row layout (each an array of tagged values):
//   0 address     text
//   1 typeTags    array of texts: "i", "f", "s", or the single "Empty"
//   2 conditions  conditions(g)(k): the condition of the k-th argument of the g-th kind
//   3 actionId    32-bit integer
//   4 activation  "Activated" or "Deactivated"
// A condition is [operator, parameters, target]; "never" conditions hold the operator only.
//
// The index is rebuilt lazily after any change made through edit() or replace(); activation
// changes go through setActivation(), which leaves addresses alone and so keeps the index.

#include "core/VarArray.h"

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarvex {

namespace rowField {
constexpr int32_t Address = 0;
constexpr int32_t TypeTags = 1;
constexpr int32_t Conditions = 2;
constexpr int32_t ActionId = 3;
constexpr int32_t Activation = 4;
constexpr int32_t Size = 5;
} // namespace rowField

namespace conditionField {
constexpr int32_t Operator = 0;
constexpr int32_t Parameters = 1;
constexpr int32_t Target = 2;
// A target holds the five creation values T0 to T4 of a host target.
constexpr size_t TargetSize = 5;
} // namespace conditionField

// Indices into a condition's parameters, in the editor's column order.
namespace parameterField {
constexpr int32_t CompareValue = 0;
constexpr int32_t InMin = 1;
constexpr int32_t InMax = 2;
constexpr int32_t OutMin = 3;
constexpr int32_t OutMax = 4;
constexpr int32_t Min = 5;
constexpr int32_t Max = 6;
} // namespace parameterField

inline constexpr std::string_view Activated = "Activated";
inline constexpr std::string_view Deactivated = "Deactivated";
inline constexpr std::string_view NeverOperator = "never";
inline constexpr std::string_view DisabledTarget = "Deaktiviert";

class ActionTable {
public:
    const VarArray &rows() const { return m_rows; }
    bool isDimensioned() const { return m_rows.isDimensioned(); }

    // Mutable access for rebuilds, loads and removals; the address index is rebuilt afterwards.
    VarArray &edit();
    void replace(VarArray rows);
    void erase();

    // Sets the activation text of the row at `index` without touching the index.
    void setActivation(int32_t index, std::string_view activation);
    // Replaces the row at `index`, which lies within the table's bounds. The indices stay when
    // the old and the new row are arrays with the same address and actionId, so a rebuild that
    // rewrites every row in turn does not make them anew for each.
    void replaceRow(int32_t index, Variant row);

    // Counts the changes made through edit(), replace(), erase() and replaceRow(): code that
    // holds references into the rows while calling out to the host checks it to know they are
    // still valid.
    uint64_t generation() const { return m_generation; }
    // Called whenever generation() moves (by edit(), as the rows are handed out for changing)
    // and when a row is switched by setActivation(), so a listener that reads the rows does so
    // later, from the event loop; the plug-in tells the host from it. A copy of the table has
    // none.
    void setChangeListener(std::function<void()> listener) { m_changed.call = std::move(listener); }

    // The indices of the rows whose address is exactly `address`, in table order.
    std::span<const int32_t> rowsWithAddress(std::string_view address) const;

    // Where a row stands: its index, and its place among the rows that are arrays, counted
    // from 1, which is its item in the editor's list.
    struct RowPlace {
        int32_t index;
        int32_t position;
    };
    // The rows whose actionId (actionIdOf) is `id`, in table order.
    std::span<const RowPlace> rowsWithActionId(int32_t id) const;

private:
    // OSC addresses are short: eight bytes at a time with a multiply, inline, hashes them in a
    // fraction of the library's byte-wise hash.
    struct TransparentHash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const;
    };
    void rebuildIndex() const;
    void changed();

    VarArray m_rows;
    uint64_t m_generation = 0;
    mutable std::unordered_map<std::string, std::vector<int32_t>, TransparentHash, std::equal_to<>>
        m_index;
    mutable std::unordered_map<int32_t, std::vector<RowPlace>> m_idIndex;
    mutable bool m_indexValid = false;
    // The last address asked for and its rows: a fader's stream asks for the same one again and
    // again, and a comparison is cheaper than the map's hash and bucket division. It points into
    // this table's index, so a copy of the table starts without it.
    struct LastLookup {
        std::string address;
        std::span<const int32_t> rows;
        bool valid = false;
        LastLookup() = default;
        LastLookup(const LastLookup &) {}
        LastLookup &operator=(const LastLookup &)
        {
            valid = false;
            return *this;
        }
    };
    mutable LastLookup m_last;
    struct ChangeListener {
        std::function<void()> call;
        ChangeListener() = default;
        ChangeListener(const ChangeListener &) {}
        ChangeListener &operator=(const ChangeListener &) { return *this; }
    };
    ChangeListener m_changed;
};

// The row at `index` as an array, or nullptr for an empty or damaged element.
const VarArray *rowAt(const VarArray &rows, int32_t index);

// Element `index` of an array held in a value, or nullptr when there is none.
const Variant *elementOf(const Variant &array, int32_t index);

// The number a row answers to: its actionId as a 32-bit integer (rounded), whatever kind holds
// it, a number stored as text included. Nothing when the row has no id, or one that converts to
// no 32-bit integer. Every comparison of a row with an action number goes through here.
std::optional<int32_t> actionIdOf(const VarArray &row);

// Whether a value is a row the table can hold: the five fields, address and activation texts,
// an actionId (see actionIdOf), type tags that are texts ("Empty" only alone), and per argument
// of the tags its condition, an array with an operator and, unless that is "never", the
// parameters (one for a text argument, seven otherwise) and the five target values, each with a
// text form. The editor shows and rebuilds such a row without fail. A row cut short in a file
// never is one: its activation, stored last, is missing.
bool isWholeRow(const Variant &value);

} // namespace tarvex
