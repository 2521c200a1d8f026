#include "browserext/host/HostMessage.h"

#include "helpers/AsciiText.h"

#include <cstdint>
#include <stdexcept>

namespace {

// A strict reader for one JSON text. It keeps only the top-level string members; the rest
// is checked and skipped. Nesting is bounded so that a message of a million brackets
// cannot exhaust the stack.
class RequestReader {
public:
    explicit RequestReader(const std::string& text) : m_text(text) {}

    // Reads the whole text as one object; returns the value of its member `name`, if a string.
    bool ReadObjectMember(const std::string& name, std::string& value)
    {
        Blank();
        if (Peek() != '{')
            throw std::runtime_error("message is not a JSON object");
        bool found = false;
        Object(0, [&](const std::string& key, bool isString, const std::string& text) {
            if (key == name && isString) {
                value = text;
                found = true;
            }
        });
        Blank();
        if (m_pos != m_text.size())
            throw std::runtime_error("text after the JSON object");
        return found;
    }

private:
    static constexpr int kMaxDepth = 64;

    char Peek() const { return m_pos < m_text.size() ? m_text[m_pos] : '\0'; }
    bool AtEnd() const { return m_pos >= m_text.size(); }
    [[noreturn]] void Bad(const char* what) const
    {
        throw std::runtime_error(std::string("message is not valid JSON: ") + what + " at byte " +
                                 std::to_string(m_pos));
    }
    void Take(char c)
    {
        if (Peek() != c)
            Bad("unexpected character");
        ++m_pos;
    }
    void Blank()
    {
        while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r'))
            ++m_pos;
    }

    template <typename OnMember>
    void Object(int depth, OnMember onMember)
    {
        Take('{');
        Blank();
        if (Peek() == '}') {
            ++m_pos;
            return;
        }
        for (;;) {
            Blank();
            const std::string key = String();
            Blank();
            Take(':');
            Blank();
            if (Peek() == '"') {
                onMember(key, true, String());
            } else {
                Skip(depth + 1);
                onMember(key, false, std::string());
            }
            Blank();
            if (Peek() == ',') {
                ++m_pos;
                continue;
            }
            Take('}');
            return;
        }
    }

    void Skip(int depth)
    {
        if (depth > kMaxDepth)
            Bad("nesting too deep");
        if (AtEnd())
            Bad("value missing");
        switch (Peek()) {
        case '{':
            Object(depth, [](const std::string&, bool, const std::string&) {});
            return;
        case '[':
            ++m_pos;
            Blank();
            if (Peek() == ']') {
                ++m_pos;
                return;
            }
            for (;;) {
                Blank();
                Skip(depth + 1);
                Blank();
                if (Peek() == ',') {
                    ++m_pos;
                    continue;
                }
                Take(']');
                return;
            }
        case '"':
            String();
            return;
        case 't':
            Literal("true");
            return;
        case 'f':
            Literal("false");
            return;
        case 'n':
            Literal("null");
            return;
        default:
            Number();
        }
    }

    void Literal(const char* word)
    {
        for (const char* p = word; *p; ++p)
            Take(*p);
    }

    bool Digit() const { return Peek() >= '0' && Peek() <= '9'; }
    void Digits()
    {
        if (!Digit())
            Bad("digit expected");
        while (Digit())
            ++m_pos;
    }
    void Number()
    {
        if (Peek() == '-')
            ++m_pos;
        if (Peek() == '0')
            ++m_pos;
        else
            Digits();
        if (Peek() == '.') {
            ++m_pos;
            Digits();
        }
        if ((Peek() == 'e' || Peek() == 'E')) {
            ++m_pos;
            if (Peek() == '+' || Peek() == '-')
                ++m_pos;
            Digits();
        }
    }

    unsigned Hex4()
    {
        unsigned v = 0;
        for (int i = 0; i < 4; ++i, ++m_pos) {
            const char c = Peek();
            const int d = AtEnd() ? -1
                          : (c >= '0' && c <= '9') ? c - '0'
                          : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                          : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                   : -1;
            if (d < 0)
                Bad("bad \\u escape");
            v = v * 16 + static_cast<unsigned>(d);
        }
        return v;
    }

    static void PutUtf8(std::string& out, std::uint32_t cp)
    {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
            return;
        }
        if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
        } else {
            if (cp < 0x10000) {
                out += static_cast<char>(0xE0 | (cp >> 12));
            } else {
                out += static_cast<char>(0xF0 | (cp >> 18));
                out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            }
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        }
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }

    // One UTF-8 sequence copied as it is, checked to be well formed (no overlong forms,
    // no surrogates, nothing past U+10FFFF).
    void RawUtf8(std::string& out)
    {
        const auto lead = static_cast<unsigned char>(m_text[m_pos]);
        int more = 0;
        std::uint32_t cp = 0, least = 0;
        if (lead >= 0xC2 && lead <= 0xDF)
            more = 1, cp = lead & 0x1F, least = 0x80;
        else if (lead >= 0xE0 && lead <= 0xEF)
            more = 2, cp = lead & 0x0F, least = 0x800;
        else if (lead >= 0xF0 && lead <= 0xF4)
            more = 3, cp = lead & 0x07, least = 0x10000;
        else
            Bad("bad UTF-8");
        const std::size_t start = m_pos++;
        for (int i = 0; i < more; ++i, ++m_pos) {
            const auto c = static_cast<unsigned char>(Peek());
            if ((c & 0xC0) != 0x80)
                Bad("bad UTF-8");
            cp = (cp << 6) | (c & 0x3F);
        }
        if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            Bad("bad UTF-8");
        out.append(m_text, start, m_pos - start);
    }

    std::string String()
    {
        Take('"');
        std::string out;
        for (;;) {
            if (AtEnd())
                Bad("unterminated string");
            const auto c = static_cast<unsigned char>(m_text[m_pos]);
            if (c == '"') {
                ++m_pos;
                return out;
            }
            if (c < 0x20)
                Bad("control character in string");
            if (c >= 0x80) {
                RawUtf8(out);
                continue;
            }
            ++m_pos;
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            const char e = AtEnd() ? '\0' : m_text[m_pos++];
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
                    Take('\\');
                    Take('u');
                    const unsigned low = Hex4();
                    if (low < 0xDC00 || low > 0xDFFF)
                        Bad("unpaired surrogate");
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                    Bad("unpaired surrogate");
                }
                PutUtf8(out, cp);
                break;
            }
            default:
                Bad("bad escape");
            }
        }
    }

    const std::string& m_text;
    std::size_t m_pos = 0;
};

bool StartsWithIgnoringCase(const std::string& s, const char* prefix)
{
    return HELPERS::ToLowerAscii(s.substr(0, std::char_traits<char>::length(prefix))) == prefix;
}

} // namespace

bool ParseHostRequest(const std::string& json, std::string& address, std::string& why)
{
    address.clear();
    try {
        RequestReader reader(json);
        if (!reader.ReadObjectMember("address", address)) {
            why = "message has no address";
            return false;
        }
    } catch (const std::runtime_error& e) {
        why = e.what();
        address.clear();
        return false;
    }
    // The address becomes one argument of the program's command line: it cannot hold a zero
    // byte, and only a web address is passed, so it can never read as an option.
    if (address.find('\0') != std::string::npos) {
        why = "address holds a zero byte";
    } else if (!StartsWithIgnoringCase(address, "http://") && !StartsWithIgnoringCase(address, "https://")) {
        why = "address is not an http or https address";
    } else {
        return true;
    }
    address.clear();
    return false;
}

std::string JsonQuote(const std::string& text)
{
    static const char* const kHex = "0123456789abcdef";
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 0xF];
            } else {
                out += ch;
            }
        }
    }
    return out + '"';
}

std::string OkReply() { return "{\"ok\":true}"; }

std::string ErrorReply(const std::string& text, const std::string& title, const std::string& detail)
{
    std::string reply = "{\"error\":" + JsonQuote(text) + ",\"title\":" + JsonQuote(title);
    if (!detail.empty())
        reply += ",\"detail\":" + JsonQuote(detail);
    return reply + '}';
}
