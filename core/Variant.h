#pragma once
// Variant: the program's tagged value, the subset of the OLE Automation VARIANT that Tarvex uses.
//
//   Variant v = Decimal::fromFloat(0.5f);   // decimal
//   Variant row = VarArray::ofValues({Variant("/fader1"), Variant(7)});
//   row.mutableArray()[1] = Variant::integer(3);
//
// A Variant owns its value. Arrays copy by value: a copy never changes the array it came from,
// so a copy of a row handed to the host cannot change the table. Conversions between kinds live in
// Conversions.h.

#include "core/Decimal.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

namespace tarvex {

class Object;
class VarArray;
using ObjectPtr = std::shared_ptr<Object>;

// The 16-bit type words of the values the program uses.
enum class VarType : uint16_t {
    Empty = 0x0000,
    Null = 0x0001,
    Integer = 0x0002, // 16-bit signed
    Long = 0x0003,    // 32-bit signed
    Single = 0x0004,
    Double = 0x0005,
    String = 0x0008,
    Object = 0x0009,
    Boolean = 0x000B, // 16-bit: true is -1
    Variant = 0x000C, // element type of arrays of variants
    Decimal = 0x000E,
    Byte = 0x0011,
};
constexpr uint16_t ArrayTypeFlag = 0x2000;

// Holds an array on the heap with value semantics (copying copies the elements).
class ArrayBox {
public:
    explicit ArrayBox(VarArray array);
    ArrayBox(const ArrayBox &other);
    ArrayBox(ArrayBox &&) noexcept = default;
    ArrayBox &operator=(const ArrayBox &other);
    ArrayBox &operator=(ArrayBox &&) noexcept = default;
    ~ArrayBox();

    const VarArray &get() const { return *m_array; }
    VarArray &get() { return *m_array; }
    friend bool operator==(const ArrayBox &a, const ArrayBox &b);

private:
    std::unique_ptr<VarArray> m_array;
};

class Variant {
public:
    Variant() noexcept = default; // Empty
    Variant(int32_t value) : m_value(value) {}
    Variant(const Decimal &value) : m_value(value) {}
    Variant(std::string value) : m_value(std::move(value)) {}
    Variant(std::string_view value) : m_value(std::string(value)) {}
    Variant(const char *value) : m_value(std::string(value)) {}
    Variant(VarArray array);
    Variant(ObjectPtr object) : m_value(std::move(object)) {}
    Variant(bool) = delete; // booleans are 16-bit values: use Variant::boolean

    static Variant null() { return Variant(NullValue{}); }
    static Variant integer(int16_t value) { return Variant(value); }
    static Variant single(float value) { return Variant(value); }
    static Variant fromDouble(double value) { return Variant(value); }
    static Variant boolean(bool value) { return Variant(BooleanValue{value}); }
    static Variant byte(uint8_t value) { return Variant(value); }

    // The type word: VarType for scalars, ArrayTypeFlag | element type for arrays.
    uint16_t typeWord() const;
    // The scalar kind; VarType::Variant for any array.
    VarType type() const;

    bool isEmpty() const { return m_value.index() == 0; }
    bool isNull() const { return std::holds_alternative<NullValue>(m_value); }
    bool isString() const { return std::holds_alternative<std::string>(m_value); }
    bool isArray() const { return std::holds_alternative<ArrayBox>(m_value); }
    bool isObject() const { return std::holds_alternative<ObjectPtr>(m_value); }
    // Integer, Long, Single, Double, Decimal, Boolean or Byte.
    bool isNumberType() const;

    // Typed access; a value of another kind raises error 13.
    int16_t asInteger() const { return get<int16_t>(); }
    int32_t asLong() const { return get<int32_t>(); }
    float asSingle() const { return get<float>(); }
    double asDouble() const { return get<double>(); }
    const Decimal &asDecimal() const { return get<Decimal>(); }
    const std::string &asString() const { return get<std::string>(); }
    bool asBoolean() const { return get<BooleanValue>().value; }
    uint8_t asByte() const { return get<uint8_t>(); }
    const ObjectPtr &asObject() const { return get<ObjectPtr>(); }
    const VarArray &array() const { return get<ArrayBox>().get(); }
    VarArray &mutableArray();

    // Makes this a string holding text, reusing the storage of a string already held.
    void assignText(std::string_view text);
    // Makes this a Long or a decimal, overwriting in place when it already holds one.
    void assignLong(int32_t value) { assignScalar(value); }
    void assignDecimal(const Decimal &value) { assignScalar(value); }

    // Same type word and same value (decimals compared by value); arrays element by element.
    friend bool operator==(const Variant &a, const Variant &b);

private:
    struct NullValue {
        bool operator==(const NullValue &) const = default;
    };
    struct BooleanValue {
        bool value;
        bool operator==(const BooleanValue &) const = default;
    };
    using Storage = std::variant<std::monostate, NullValue, int16_t, int32_t, float, double,
                                 Decimal, std::string, BooleanValue, uint8_t, ObjectPtr, ArrayBox>;

    explicit Variant(NullValue v) : m_value(v) {}
    explicit Variant(BooleanValue v) : m_value(v) {}
    explicit Variant(int16_t v) : m_value(v) {}
    explicit Variant(float v) : m_value(v) {}
    explicit Variant(double v) : m_value(v) {}
    explicit Variant(uint8_t v) : m_value(v) {}

    template <typename T> const T &get() const
    {
        if (const T *p = std::get_if<T>(&m_value))
            return *p;
        throwTypeMismatch();
    }
    [[noreturn]] static void throwTypeMismatch();
    template <typename T> void assignScalar(const T &value)
    {
        if (T *p = std::get_if<T>(&m_value))
            *p = value;
        else
            m_value.template emplace<T>(value);
    }

    Storage m_value;
};

} // namespace tarvex

#include "core/VarArray.h"
