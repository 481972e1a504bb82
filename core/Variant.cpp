#include "core/Variant.h"

#include "core/VbError.h"

namespace tarvex {

ArrayBox::ArrayBox(VarArray array) : m_array(std::make_unique<VarArray>(std::move(array))) {}
ArrayBox::ArrayBox(const ArrayBox &other) : m_array(std::make_unique<VarArray>(*other.m_array)) {}
ArrayBox &ArrayBox::operator=(const ArrayBox &other)
{
    if (this != &other)
        m_array = std::make_unique<VarArray>(*other.m_array);
    return *this;
}
ArrayBox::~ArrayBox() = default;
bool operator==(const ArrayBox &a, const ArrayBox &b)
{
    return a.get() == b.get();
}

Variant::Variant(VarArray array) : m_value(ArrayBox(std::move(array))) {}

uint16_t Variant::typeWord() const
{
    if (isArray())
        return array().typeWord();
    return static_cast<uint16_t>(type());
}

VarType Variant::type() const
{
    switch (m_value.index()) {
    case 0: return VarType::Empty;
    case 1: return VarType::Null;
    case 2: return VarType::Integer;
    case 3: return VarType::Long;
    case 4: return VarType::Single;
    case 5: return VarType::Double;
    case 6: return VarType::Decimal;
    case 7: return VarType::String;
    case 8: return VarType::Boolean;
    case 9: return VarType::Byte;
    case 10: return VarType::Object;
    default: return VarType::Variant;
    }
}

bool Variant::isNumberType() const
{
    switch (type()) {
    case VarType::Integer:
    case VarType::Long:
    case VarType::Single:
    case VarType::Double:
    case VarType::Decimal:
    case VarType::Boolean:
    case VarType::Byte: return true;
    default: return false;
    }
}

VarArray &Variant::mutableArray()
{
    if (auto *box = std::get_if<ArrayBox>(&m_value))
        return box->get();
    throwTypeMismatch();
}

void Variant::assignText(std::string_view text)
{
    if (auto *s = std::get_if<std::string>(&m_value))
        s->assign(text);
    else
        m_value = std::string(text);
}

bool operator==(const Variant &a, const Variant &b)
{
    return a.m_value == b.m_value;
}

void Variant::throwTypeMismatch()
{
    raise(errc::TypeMismatch);
}

} // namespace tarvex
