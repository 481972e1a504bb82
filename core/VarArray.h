#pragma once
// VarArray: an array of tagged values with any number of dimensions and lower bounds, or never
// dimensioned (no bounds at all), as the host's arrays (SAFEARRAY) can be.
//
//   VarArray row(VarType::Variant);          // never dimensioned
//   row.redim({{0, 4}});                      // five Empty elements, indices 0..4
//   row[0] = Variant("/fader1");
//
// Elements are held in storage order: the first index runs fastest. A typed array (any element
// type but Variant) holds values of its type only and is created holding that type's zero (the
// empty text for String). What is stored in it goes through set(), setElement() or append(),
// which convert to text for String arrays and refuse any other kind with error 13; the mutable
// element accessors serve arrays of variants only and raise error 13 on a typed array.

#include "core/Variant.h"

#include <memory>
#include <span>
#include <vector>

namespace tarvex {

class VarArray {
public:
    struct Bound {
        int32_t lower;
        int32_t upper; // lower - 1 for a dimension without elements
        bool operator==(const Bound &) const = default;
    };
    static constexpr int MaxDimensions = 60;

    explicit VarArray(VarType elementType = VarType::Variant);
    // A one-dimensional array with lower bound 0 holding the values.
    static VarArray ofValues(std::vector<Variant> values, VarType elementType = VarType::Variant);
    // A one-dimensional array of plain strings with lower bound 0.
    static VarArray ofStrings(const std::vector<std::string> &texts);

    VarType elementType() const { return m_elementType; }
    uint16_t typeWord() const { return ArrayTypeFlag | static_cast<uint16_t>(m_elementType); }

    int dimensionCount() const { return static_cast<int>(m_bounds.size()); }
    bool isDimensioned() const { return !m_bounds.empty(); }
    std::vector<Bound> bounds() const { return m_bounds.list(); }
    // Bounds of dimension 1..count; raises error 9 for a dimension that does not exist.
    int32_t lowerBound(int dimension = 1) const;
    int32_t upperBound(int dimension = 1) const;
    size_t size() const { return m_elements.size(); }

    // Discards the content and gives the array these bounds (every upper >= lower - 1).
    // Raises error 9 for bad bounds and error 7 ("Out of memory") for too many elements.
    void redim(const std::vector<Bound> &bounds);
    // Changes the upper bound of a one-dimensional array keeping the elements that stay in range;
    // a never-dimensioned array becomes 0..upper.
    void redimPreserve(int32_t upper);
    // Back to never dimensioned.
    void erase();
    // Adds one element at the end of a one-dimensional array (0..0 when never dimensioned).
    void append(Variant value);
    // Stores a value at a one-dimensional index, or at a position in storage order.
    void set(int32_t index, Variant value);
    void setElement(size_t position, Variant value);

    // One-dimensional access by index; raises error 9 outside the bounds. The mutable form
    // raises error 13 on a typed array.
    const Variant &operator[](int32_t index) const;
    Variant &operator[](int32_t index);
    // Element at the given index or nullptr; for lenient readers of damaged tables.
    const Variant *find(int32_t index) const;

    std::span<const Variant> elements() const { return m_elements; }
    // Raises error 13 on a typed array.
    std::span<Variant> elements();

    friend bool operator==(const VarArray &a, const VarArray &b);

private:
    size_t offsetOf(int32_t index) const;
    Variant emptyElement() const;
    // The value as this array's elements hold it: texts for String arrays.
    Variant accepted(Variant value) const;
    void requireVariantElements() const;

    // The bounds, one per dimension. A show holds hundreds of thousands of arrays, nearly all of
    // one dimension: that one bound is kept in place, and only more take memory of their own.
    class Bounds {
    public:
        Bounds() = default;
        Bounds(const Bounds &other);
        Bounds &operator=(const Bounds &other);
        Bounds(Bounds &&) noexcept = default;
        Bounds &operator=(Bounds &&) noexcept = default;

        size_t size() const { return m_count; }
        bool empty() const { return m_count == 0; }
        const Bound &operator[](size_t i) const { return m_count == 1 ? m_one : (*m_many)[i]; }
        Bound &operator[](size_t i) { return m_count == 1 ? m_one : (*m_many)[i]; }
        void assign(const std::vector<Bound> &bounds);
        void assign(Bound one);
        void clear();
        std::vector<Bound> list() const;
        bool operator==(const Bounds &other) const;

    private:
        uint32_t m_count = 0;
        Bound m_one{};
        std::unique_ptr<std::vector<Bound>> m_many; // two dimensions or more
    };

    VarType m_elementType;
    Bounds m_bounds;
    std::vector<Variant> m_elements;
};

// A one-dimensional array of variants with lower bound 0 holding the values, moved in, where an
// initializer list would copy each of them, the arrays they hold included.
template <typename... Values> VarArray arrayOf(Values &&...values)
{
    std::vector<Variant> elements;
    elements.reserve(sizeof...(Values));
    (elements.emplace_back(std::forward<Values>(values)), ...);
    return VarArray::ofValues(std::move(elements));
}

} // namespace tarvex
