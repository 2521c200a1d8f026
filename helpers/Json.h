#pragma once
// JSON text: a strict reader (anything that is not valid JSON throws std::runtime_error) and
// the string literal writer. The browser host reads its requests with them, quarrow-cli
// writes its --json lines, and the tests check both.
#include "helpers/Utf8.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace HELPERS {

// A JSON string literal for `text`, quotes included. Bytes that are not UTF-8 become U+FFFD
// so that the output always parses.
std::string JsonString(const std::string& text);

struct JsonValue {
    enum Type { Null, Bool, Number, String, Array, Object } type = Null;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members;

    bool Has(const std::string& key) const
    {
        for (const auto& [k, v] : members)
            if (k == key)
                return true;
        return false;
    }
    const JsonValue& operator[](const std::string& key) const
    {
        for (const auto& [k, v] : members)
            if (k == key)
                return v;
        throw std::out_of_range("no member " + key);
    }
};

class JsonReader {
public:
    static JsonValue Parse(const std::string& text)
    {
        JsonReader r(text);
        r.Blank();
        JsonValue v = r.Value();
        r.Blank();
        if (r.m_pos != r.m_text.size())
            r.Fail("trailing text");
        return v;
    }

private:
    explicit JsonReader(const std::string& text) : m_text(text) {}

    [[noreturn]] void Fail(const std::string& why) const
    {
        throw std::runtime_error("bad JSON at " + std::to_string(m_pos) + ": " + why);
    }
    char Peek() const { return m_pos < m_text.size() ? m_text[m_pos] : '\0'; }
    void Expect(char c)
    {
        if (Peek() != c)
            Fail(std::string("expected ") + c);
        ++m_pos;
    }
    void Blank()
    {
        while (m_pos < m_text.size() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r'))
            ++m_pos;
    }
    void Word(const char* w)
    {
        for (const char* p = w; *p; ++p)
            Expect(*p);
    }

    JsonValue Value()
    {
        // Bounded so that a text of a million brackets cannot exhaust the stack.
        if (++m_depth > kMaxDepth)
            Fail("nested too deeply");
        JsonValue v;
        switch (Peek()) {
        case '{': Members(v); break;
        case '[': Items(v); break;
        case '"':
            v.type = JsonValue::String;
            v.text = Str();
            break;
        case 't':
            Word("true");
            v.type = JsonValue::Bool;
            v.boolean = true;
            break;
        case 'f':
            Word("false");
            v.type = JsonValue::Bool;
            break;
        case 'n': Word("null"); break;
        default:
            v.type = JsonValue::Number;
            v.number = Num();
            break;
        }
        --m_depth;
        return v;
    }

    void Members(JsonValue& v)
    {
        v.type = JsonValue::Object;
        Expect('{');
        Blank();
        if (Peek() == '}') {
            ++m_pos;
            return;
        }
        for (;;) {
            Blank();
            std::string key = Str();
            Blank();
            Expect(':');
            Blank();
            v.members.emplace_back(std::move(key), Value());
            Blank();
            if (Peek() == ',') {
                ++m_pos;
                continue;
            }
            Expect('}');
            return;
        }
    }

    void Items(JsonValue& v)
    {
        v.type = JsonValue::Array;
        Expect('[');
        Blank();
        if (Peek() == ']') {
            ++m_pos;
            return;
        }
        for (;;) {
            Blank();
            v.items.push_back(Value());
            Blank();
            if (Peek() == ',') {
                ++m_pos;
                continue;
            }
            Expect(']');
            return;
        }
    }

    unsigned Hex4()
    {
        if (m_pos + 4 > m_text.size())
            Fail("short \\u escape");
        unsigned v = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = m_text[m_pos++];
            v <<= 4;
            if (c >= '0' && c <= '9')
                v |= static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f')
                v |= static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                v |= static_cast<unsigned>(c - 'A' + 10);
            else
                Fail("bad hex digit");
        }
        return v;
    }

    std::string Str()
    {
        Expect('"');
        std::string out;
        for (;;) {
            if (m_pos >= m_text.size())
                Fail("unterminated string");
            const auto c = static_cast<unsigned char>(m_text[m_pos++]);
            if (c == '"')
                return out;
            if (c < 0x20)
                Fail("control character in string");
            if (c >= 0x80) {
                std::uint32_t cp = 0;
                const std::size_t n = Utf8Decode(m_text, m_pos - 1, cp);
                if (n == 0)
                    Fail("bad UTF-8");
                out.append(m_text, m_pos - 1, n);
                m_pos += n - 1;
                continue;
            }
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            const char e = m_pos < m_text.size() ? m_text[m_pos++] : '\0';
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                std::uint32_t cp = Hex4();
                if (cp >= 0xD800 && cp <= 0xDBFF) {
                    Expect('\\');
                    Expect('u');
                    const unsigned low = Hex4();
                    if (low < 0xDC00 || low > 0xDFFF)
                        Fail("bad surrogate pair");
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                    Fail("lone surrogate");
                }
                AppendUtf8(out, cp);
                break;
            }
            default: Fail("bad escape");
            }
        }
    }

    double Num()
    {
        const std::size_t start = m_pos;
        if (Peek() == '-')
            ++m_pos;
        if (Peek() == '0') {
            ++m_pos;
        } else if (Peek() >= '1' && Peek() <= '9') {
            while (Peek() >= '0' && Peek() <= '9')
                ++m_pos;
        } else {
            Fail("expected a value");
        }
        if (Peek() == '.') {
            ++m_pos;
            if (!(Peek() >= '0' && Peek() <= '9'))
                Fail("bad fraction");
            while (Peek() >= '0' && Peek() <= '9')
                ++m_pos;
        }
        if (Peek() == 'e' || Peek() == 'E') {
            ++m_pos;
            if (Peek() == '+' || Peek() == '-')
                ++m_pos;
            if (!(Peek() >= '0' && Peek() <= '9'))
                Fail("bad exponent");
            while (Peek() >= '0' && Peek() <= '9')
                ++m_pos;
        }
        return std::stod(m_text.substr(start, m_pos - start));
    }

    static constexpr int kMaxDepth = 256;

    const std::string& m_text;
    std::size_t m_pos = 0;
    int m_depth = 0;
};

} // namespace HELPERS
