#include "property.h"

#include "gameerror.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <limits>

namespace volleyrun {

namespace {

[[noreturn]] void WrongType(const std::string& context, const Property& p, const char* expected)
{
    throw GameError(context + ": member \"" + p.name + "\" must be " + expected);
}

void CheckLimit(const std::string& context, const Property& p, int64_t value)
{
    if (p.limit != 0 && value > static_cast<int64_t>(p.limit))
        throw GameError(context + ": member \"" + p.name + "\" is " + std::to_string(value) + ", above its limit of " +
                        std::to_string(p.limit));
}

} // namespace

void ReadValue(const rapidjson::Value& object, const Property& p, const std::string& context)
{
    auto member = object.FindMember(p.name.c_str());
    if (member == object.MemberEnd()) return;
    const rapidjson::Value& value = member->value;
    switch (p.kind) {
    case kInt:
        if (!value.IsInt()) WrongType(context, p, "an integer that fits 32 bits (Int)");
        CheckLimit(context, p, value.GetInt());
        *static_cast<int32_t*>(p.address) = value.GetInt();
        break;
    case kString:
        if (!value.IsString()) WrongType(context, p, "a string (String)");
        // Up to the first zero byte, as a C string would hold it.
        *static_cast<std::string*>(p.address) = value.GetString();
        break;
    case kDouble:
        if (!value.IsNumber()) WrongType(context, p, "a number (Double)");
        *static_cast<double*>(p.address) = value.GetDouble();
        break;
    case kFloat:
        if (!value.IsNumber() || std::fabs(value.GetDouble()) > std::numeric_limits<float>::max())
            WrongType(context, p, "a number within the range of float, about 3.4e38 (Float)");
        *static_cast<float*>(p.address) = static_cast<float>(value.GetDouble());
        break;
    case kBool:
        if (!value.IsBool()) WrongType(context, p, "true or false (Bool)");
        *static_cast<bool*>(p.address) = value.GetBool();
        break;
    case kUnsigned:
        if (!value.IsUint()) WrongType(context, p, "a non-negative integer that fits 32 bits (Unsigned)");
        CheckLimit(context, p, value.GetUint());
        *static_cast<uint32_t*>(p.address) = value.GetUint();
        break;
    default:
        throw GameError("There was a problem in ReadValue, unknown type");
    }
}

// In the library's look: "50.0" for a whole number, "1e30" and "1.5e-7" for exponents.
bool JsonWriter::Double(double value)
{
    if (!std::isfinite(value)) return PrettyWriter::Double(value);  // the library refuses it
    char text[40];
    char* end = std::to_chars(text, text + sizeof text, value).ptr;
    std::string number(text, end);
    size_t e = number.find('e');
    if (e == std::string::npos) {
        if (number.find('.') == std::string::npos) number += ".0";
    } else {
        std::string exponent = number.substr(e + 1);
        bool negative = exponent[0] == '-';
        exponent = exponent.substr(exponent[0] == '-' || exponent[0] == '+' ? 1 : 0);
        exponent.erase(0, std::min(exponent.find_first_not_of('0'), exponent.size() - 1));
        number = number.substr(0, e + 1) + (negative ? "-" : "") + exponent;
    }
    return RawValue(number.c_str(), number.size(), rapidjson::kNumberType);
}

double ShortestDouble(float value)
{
    if (!std::isfinite(value)) return static_cast<double>(value);
    // The shortest decimal that reads back to the float, as a double: the writer then
    // prints those digits ("0.3", not the double of the float, 0.30000001192092898).
    char text[32];
    auto result = std::to_chars(text, text + sizeof text, value);
    *result.ptr = '\0';
    return std::strtod(text, nullptr);
}

void CopyValue(const Property& from, const Property& to)
{
    switch (from.kind) {
    case kInt: *static_cast<int32_t*>(to.address) = *static_cast<const int32_t*>(from.address); break;
    case kString: *static_cast<std::string*>(to.address) = *static_cast<const std::string*>(from.address); break;
    case kDouble: *static_cast<double*>(to.address) = *static_cast<const double*>(from.address); break;
    case kFloat: *static_cast<float*>(to.address) = *static_cast<const float*>(from.address); break;
    case kBool: *static_cast<bool*>(to.address) = *static_cast<const bool*>(from.address); break;
    case kUnsigned: *static_cast<uint32_t*>(to.address) = *static_cast<const uint32_t*>(from.address); break;
    }
}

void WriteNumber(JsonWriter& writer, const std::string& name, double value)
{
    if (!std::isfinite(value))
        throw GameError("Cannot write member \"" + name + "\": " + std::to_string(value) + " is not a finite number");
    writer.Double(value);
}

void WriteValue(JsonWriter& writer, const Property& p)
{
    writer.Key(p.name.c_str(), static_cast<rapidjson::SizeType>(p.name.size()));
    switch (p.kind) {
    case kInt: writer.Int(*static_cast<const int32_t*>(p.address)); break;
    case kString: {
        const auto& text = *static_cast<const std::string*>(p.address);
        writer.String(text.c_str(), static_cast<rapidjson::SizeType>(text.size()));
        break;
    }
    case kDouble: WriteNumber(writer, p.name, *static_cast<const double*>(p.address)); break;
    case kFloat: WriteNumber(writer, p.name, ShortestDouble(*static_cast<const float*>(p.address))); break;
    case kBool: writer.Bool(*static_cast<const bool*>(p.address)); break;
    case kUnsigned: writer.Uint(*static_cast<const uint32_t*>(p.address)); break;
    default: throw GameError("There was a problem in WriteValue, unknown type");
    }
}

} // namespace volleyrun
