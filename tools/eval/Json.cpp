#include "Json.h"

#include <cmath>
#include <cstdlib>

namespace {

constexpr int MAX_DEPTH = 64;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

class Parser {
public:
    explicit Parser(const std::string& text) : s_(text) {}

    JsonValue Document() {
        JsonValue value = Value(0);
        SkipSpace();
        if (pos_ != s_.size()) Fail("unexpected text after the value");
        return value;
    }

private:
    [[noreturn]] void Fail(const std::string& message) const { throw JsonError(message, pos_ + 1); }

    void SkipSpace() {
        while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r')) ++pos_;
    }

    char Peek() const { return pos_ < s_.size() ? s_[pos_] : '\0'; }

    void Expect(char c) {
        if (Peek() != c) Fail(std::string("expected '") + c + "'");
        ++pos_;
    }

    JsonValue Value(int depth) {
        if (depth > MAX_DEPTH) Fail("nesting too deep");
        SkipSpace();
        const char c = Peek();
        if (c == '{') return Object(depth);
        if (c == '[') return Array(depth);
        JsonValue value;
        if (c == '"') {
            value.kind = JsonValue::Kind::String;
            value.text = String();
        } else if (c == '-' || IsDigit(c)) {
            value.kind = JsonValue::Kind::Number;
            value.number = Number();
        } else if (Literal("null")) {
            value.kind = JsonValue::Kind::Null;
        } else if (Literal("true")) {
            value.kind = JsonValue::Kind::Boolean;
            value.boolean = true;
        } else if (Literal("false")) {
            value.kind = JsonValue::Kind::Boolean;
        } else {
            Fail(pos_ == s_.size() ? "unexpected end of text" : "unexpected character");
        }
        return value;
    }

    bool Literal(const char* word) {
        const std::string w(word);
        if (s_.compare(pos_, w.size(), w) != 0) return false;
        pos_ += w.size();
        return true;
    }

    JsonValue Object(int depth) {
        JsonValue value;
        value.kind = JsonValue::Kind::Object;
        Expect('{');
        SkipSpace();
        if (Peek() == '}') {
            ++pos_;
            return value;
        }
        for (;;) {
            SkipSpace();
            if (Peek() != '"') Fail("expected a member name");
            std::string key = String();
            SkipSpace();
            Expect(':');
            value.members.emplace_back(std::move(key), Value(depth + 1));
            SkipSpace();
            if (Peek() == '}') break;
            Expect(',');
        }
        ++pos_;
        return value;
    }

    JsonValue Array(int depth) {
        JsonValue value;
        value.kind = JsonValue::Kind::Array;
        Expect('[');
        SkipSpace();
        if (Peek() == ']') {
            ++pos_;
            return value;
        }
        for (;;) {
            value.items.push_back(Value(depth + 1));
            SkipSpace();
            if (Peek() == ']') break;
            Expect(',');
        }
        ++pos_;
        return value;
    }

    // Digits of the JSON number grammar are checked here; strtod then converts exactly that span.
    double Number() {
        const size_t start = pos_;
        if (Peek() == '-') ++pos_;
        if (Peek() == '0') {
            ++pos_;
        } else if (IsDigit(Peek())) {
            while (IsDigit(Peek())) ++pos_;
        } else {
            Fail("malformed number");
        }
        if (Peek() == '.') {
            ++pos_;
            if (!IsDigit(Peek())) Fail("malformed number");
            while (IsDigit(Peek())) ++pos_;
        }
        if (Peek() == 'e' || Peek() == 'E') {
            ++pos_;
            if (Peek() == '+' || Peek() == '-') ++pos_;
            if (!IsDigit(Peek())) Fail("malformed number");
            while (IsDigit(Peek())) ++pos_;
        }
        const double number = std::strtod(s_.substr(start, pos_ - start).c_str(), nullptr);
        if (!std::isfinite(number)) Fail("number out of range");
        return number;
    }

    unsigned Hex4() {
        unsigned code = 0;
        for (int i = 0; i < 4; ++i, ++pos_) {
            const char c = Peek();
            const unsigned digit = IsDigit(c) ? unsigned(c - '0')
                                 : (c >= 'a' && c <= 'f') ? unsigned(c - 'a' + 10)
                                 : (c >= 'A' && c <= 'F') ? unsigned(c - 'A' + 10)
                                 : 16u;
            if (digit == 16u) Fail("malformed \\u escape");
            code = code * 16u + digit;
        }
        return code;
    }

    static void AppendUtf8(std::string& out, unsigned code) {
        if (code < 0x80u) {
            out += char(code);
        } else if (code < 0x800u) {
            out += char(0xC0u | (code >> 6));
            out += char(0x80u | (code & 0x3Fu));
        } else if (code < 0x10000u) {
            out += char(0xE0u | (code >> 12));
            out += char(0x80u | ((code >> 6) & 0x3Fu));
            out += char(0x80u | (code & 0x3Fu));
        } else {
            out += char(0xF0u | (code >> 18));
            out += char(0x80u | ((code >> 12) & 0x3Fu));
            out += char(0x80u | ((code >> 6) & 0x3Fu));
            out += char(0x80u | (code & 0x3Fu));
        }
    }

    // A \u escape; a high surrogate must be followed by the escape of its low half.
    unsigned CodePoint() {
        const unsigned high = Hex4();
        if (high >= 0xDC00u && high <= 0xDFFFu) Fail("unpaired surrogate");
        if (high < 0xD800u || high > 0xDBFFu) return high;
        if (!Literal("\\u")) Fail("unpaired surrogate");
        const unsigned low = Hex4();
        if (low < 0xDC00u || low > 0xDFFFu) Fail("unpaired surrogate");
        return 0x10000u + ((high - 0xD800u) << 10) + (low - 0xDC00u);
    }

    std::string String() {
        Expect('"');
        std::string out;
        for (;;) {
            if (pos_ >= s_.size()) Fail("unterminated string");
            const char c = s_[pos_++];
            if (c == '"') return out;
            if (static_cast<unsigned char>(c) < 0x20u) {
                --pos_;
                Fail("control character in string");
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            const char e = Peek();
            ++pos_;
            switch (e) {
                case '"': out += '"'; break;
                case '\\': out += '\\'; break;
                case '/': out += '/'; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'u': AppendUtf8(out, CodePoint()); break;
                default: --pos_; Fail("unknown escape");
            }
        }
    }

    const std::string& s_;
    size_t pos_ = 0;
};

}  // namespace

const JsonValue* JsonValue::Find(const std::string& key) const {
    for (const auto& member : members) {
        if (member.first == key) return &member.second;
    }
    return nullptr;
}

JsonError::JsonError(const std::string& message, size_t column_)
    : std::runtime_error(message + " at column " + std::to_string(column_)), column(column_) {}

JsonValue ParseJson(const std::string& text) { return Parser(text).Document(); }
