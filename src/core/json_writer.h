// A small streaming JSON writer for the command line's --json output and the recovery report.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace core {

// Builds one JSON document in a string. Commas are placed automatically; inside an object call
// Key() before each value. Strings (catalog names included) are taken as UTF-8 and escaped.
class JsonWriter
{
public:
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    JsonWriter& Key(std::string_view utf8);
    JsonWriter& String(std::string_view utf8);
    JsonWriter& Int(std::int64_t value);
    JsonWriter& UInt(std::uint64_t value);
    JsonWriter& Bool(bool value);
    JsonWriter& Null();

    // Key and value in one call.
    template <typename T>
    JsonWriter& Field(std::string_view key, const T& value)
    {
        Key(key);
        return Value(value);
    }

    const std::string& Text() const noexcept { return m_out; }

private:
    JsonWriter& Value(std::string_view v) { return String(v); }
    JsonWriter& Value(const std::string& v) { return String(v); }
    JsonWriter& Value(const char* v) { return String(v); }
    JsonWriter& Value(bool v) { return Bool(v); }
    template <typename T>
    JsonWriter& Value(T v)
    {
        if constexpr (std::is_signed_v<T>) {
            return Int(v);
        } else {
            return UInt(v);
        }
    }

    void BeforeValue();
    void Escaped(std::string_view utf8);

    std::string m_out;
    std::vector<bool> m_first;  // per open container: no element written yet
    bool m_afterKey = false;
};

}  // namespace core
