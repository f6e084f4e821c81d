// A small streaming JSON writer.
#include "core/json_writer.h"

#include <cstdio>


namespace core {

void JsonWriter::BeforeValue()
{
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (!m_first.empty()) {
        if (!m_first.back()) {
            m_out += ',';
        }
        m_first.back() = false;
    }
}

JsonWriter& JsonWriter::BeginObject()
{
    BeforeValue();
    m_out += '{';
    m_first.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::EndObject()
{
    m_out += '}';
    if (!m_first.empty()) {
        m_first.pop_back();
    }
    return *this;
}

JsonWriter& JsonWriter::BeginArray()
{
    BeforeValue();
    m_out += '[';
    m_first.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::EndArray()
{
    m_out += ']';
    if (!m_first.empty()) {
        m_first.pop_back();
    }
    return *this;
}

JsonWriter& JsonWriter::Key(std::string_view utf8)
{
    BeforeValue();
    Escaped(utf8);
    m_out += ':';
    m_afterKey = true;
    return *this;
}

void JsonWriter::Escaped(std::string_view utf8)
{
    m_out += '"';
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"':
            m_out += "\\\"";
            break;
        case '\\':
            m_out += "\\\\";
            break;
        case '\n':
            m_out += "\\n";
            break;
        case '\r':
            m_out += "\\r";
            break;
        case '\t':
            m_out += "\\t";
            break;
        default:
            if (c < 0x20 || c == 0x7f) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
                m_out += buf;
            } else {
                m_out += ch;
            }
        }
    }
    m_out += '"';
}

JsonWriter& JsonWriter::String(std::string_view utf8)
{
    BeforeValue();
    Escaped(utf8);
    return *this;
}


JsonWriter& JsonWriter::Int(std::int64_t value)
{
    BeforeValue();
    m_out += std::to_string(value);
    return *this;
}

JsonWriter& JsonWriter::UInt(std::uint64_t value)
{
    BeforeValue();
    m_out += std::to_string(value);
    return *this;
}

JsonWriter& JsonWriter::Bool(bool value)
{
    BeforeValue();
    m_out += value ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::Null()
{
    BeforeValue();
    m_out += "null";
    return *this;
}

}  // namespace core
