#include "text.h"

#include <stdio.h>

#include <algorithm>
#include <charconv>
#include <stdexcept>

namespace ssh_msg_def::internal {
namespace {

constexpr std::string_view kForms =
    " (--hex reads plain hex, 0x prefixes, a C initialiser, xxd (-g 1 or 2) or hexdump -C output)";

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') return (c | 0x20) - 'a' + 10;
    return -1;
}

std::string Hex64(uint64_t v) {
    char text[24];
    snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(v));
    return text;
}

bool Blank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::string_view TrimRight(std::string_view s) { return s.substr(0, s.find_last_not_of(" \t\r") + 1); }

[[noreturn]] void Fail(std::string_view text, size_t pos, const std::string &what) {
    throw std::runtime_error(Where(text, pos) + ": " + what);
}

// Text that is in none of the forms: the message names them.
[[noreturn]] void Foreign(std::string_view text, size_t pos, const std::string &what) {
    Fail(text, pos, what + std::string(kForms));
}

[[noreturn]] void NotHex(std::string_view text, size_t pos) {
    Foreign(text, pos, "'" + Escape(text.substr(pos, 1)) + "' is not a hex digit");
}

// The digits of text[from, end), two to a byte, onto out.
void Bytes(std::string_view text, size_t from, size_t end, std::string &out) {
    for (size_t i = from; i + 1 < end; i += 2) out += static_cast<char>(HexValue(text[i]) << 4 | HexValue(text[i + 1]));
}

std::string Free(std::string_view t) {
    std::string out;
    size_t braces = 0, brace = 0;
    size_t word = std::string_view::npos;  // a declaration's first character that is no hex digit
    for (size_t i = 0; i < t.size();) {
        const char c = t[i];
        if (Blank(c) || c == ',' || c == ';') {
            ++i;
        } else if (t.substr(i, 2) == "//") {
            i = t.find('\n', i);
        } else if (t.substr(i, 2) == "/*") {
            const size_t end = t.find("*/", i + 2);
            if (end == std::string_view::npos) Fail(t, i, "'/*' is never closed");
            i = end + 2;
        } else if (c == '{') {
            if (braces++ == 0) brace = i, word = std::string_view::npos;  // the words before were its declaration
            ++i;
        } else if (c == '}') {
            if (braces == 0) Foreign(t, i, "'}' closes no '{'");
            if (--braces == 0) return out;  // whatever follows the initialiser is left alone
            ++i;
        } else {
            size_t end = i + 1;
            while (end < t.size() && !Blank(t[end]) && std::string_view(",;{}/").find(t[end]) == std::string_view::npos)
                ++end;
            const bool prefixed = t[i] == '0' && end > i + 1 && (t[i + 1] | 0x20) == 'x';
            const size_t from = i + (prefixed ? 2 : 0);
            const size_t bad =
                std::find_if(t.begin() + from, t.begin() + end, [](char d) { return HexValue(d) < 0; }) - t.begin();
            if (bad < end && braces == 0 && out.empty()) {
                // A word before any byte starts a declaration if a '{' follows;
                // the numbers in it up to the '{' (an array's size, a log
                // line's time and process) are its own, not bytes.
                word = std::min(word, bad);
            } else if (bad < end) {
                NotHex(t, bad);
            } else if (word != std::string_view::npos) {
            } else if (prefixed && end - from == 1) {
                out += static_cast<char>(HexValue(t[from]));  // 0x5 is the byte 05
            } else if (prefixed && end == from) {
                Fail(t, i, "'0x' without digits");
            } else if ((end - from) % 2 != 0) {
                Foreign(t, i, std::to_string(end - from) + " hex digits in a row are no whole bytes");
            } else {
                Bytes(t, from, end, out);
            }
            i = end;
        }
    }
    if (word != std::string_view::npos) NotHex(t, word);
    if (braces > 0) Fail(t, brace, "'{' is never closed");
    return out;
}

std::string Dump(std::string_view t, bool xxd) {
    std::string out, previous;  // previous: the bytes of the line before, for "*"
    bool started = false, repeat = false;
    uint64_t base = 0;  // the first line's offset
    for (size_t start = 0; start < t.size();) {
        const size_t eol = std::min(t.find('\n', start), t.size());
        const std::string_view line = TrimRight(t.substr(start, eol - start));
        const size_t i = line.find_first_not_of(" \t"), at = start;
        start = eol + 1;
        if (i == std::string_view::npos) continue;
        if (line.substr(i) == "*") {
            if (!started) Fail(t, at + i, "'*' before any line it could repeat");
            repeat = true;
            continue;
        }
        size_t j = i;
        uint64_t offset = 0;
        for (; j < line.size() && HexValue(line[j]) >= 0; ++j) {
            if (j - i == 16) Fail(t, at + i, "an offset column longer than 16 digits");
            offset = offset << 4 | static_cast<uint64_t>(HexValue(line[j]));
        }
        if (j == i) NotHex(t, at + i);
        if (xxd && (j == line.size() || line[j] != ':')) Foreign(t, at + j, "no ':' after the offset column");
        if (!started) started = true, base = offset;
        const uint64_t want = offset - base;  // the bytes before the line, as its offset says
        if (repeat && offset >= base && want > out.size() && !previous.empty() &&
            (want - out.size()) % previous.size() == 0) {
            // "*": the line before, again and again, up to this offset.
            if (want > kMaxInput) Fail(t, at + i, "the lines '*' stands for make more than 67108864 bytes");
            while (out.size() < want) out += previous;
        }
        repeat = false;
        if (offset < base || want != out.size()) {
            Fail(t, at + i,
                 "the offset column says " + Hex64(offset) + " where " + Hex64(base + out.size()) +
                     " follows the lines before");
        }
        // The hex column runs to two blanks (xxd) or to '|' (hexdump -C), where
        // the ASCII column starts.
        const size_t from = j + xxd, end = std::min(xxd ? line.find("  ", from) : line.find('|', from), line.size());
        previous.clear();
        for (size_t k = from; k < end;) {
            if (line[k] == ' ') {
                ++k;
                continue;
            }
            const size_t group = k;
            for (; k < end && line[k] != ' '; ++k) {
                if (HexValue(line[k]) < 0) NotHex(t, at + k);
            }
            if (k - group != 2 && (k - group != 4 || !xxd)) {
                Foreign(t, at + group, "a group of " + std::to_string(k - group) + " hex digits");
            }
            Bytes(line, group, k, previous);
        }
        std::string ascii;
        for (const char b : previous) ascii += b >= 0x20 && b < 0x7F ? b : '.';
        const std::string_view shown = line.substr(end);
        const bool ok = xxd ? shown.ends_with(TrimRight(ascii)) &&
                                  shown.find_first_not_of(' ') >= shown.size() - TrimRight(ascii).size()
                            : shown == (previous.empty() ? "" : "|" + ascii + "|");
        if (!ok) Foreign(t, at + end, "the ASCII column does not show the line's bytes");
        out += previous;
    }
    if (repeat) Fail(t, t.size(), "no offset line after '*' says where the repeated lines end");
    return out;
}

}  // namespace

std::string Where(std::string_view text, size_t pos) {
    const std::string_view before = text.substr(0, pos);
    return "offset " + std::to_string(pos) + " (line " +
           std::to_string(std::count(before.begin(), before.end(), '\n') + 1) + ", column " +
           std::to_string(pos - (before.rfind('\n') + 1) + 1) + ")";
}

void CheckText(std::string_view text, size_t from) {
    for (size_t i = from; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c < 0x20 && !Blank(static_cast<char>(c))) || c == 0x7F) {
            Foreign(text, i, "'" + Escape(text.substr(i, 1)) + "' is no character of hex text");
        }
    }
}

std::string ParseHex(std::string_view text) {
    CheckText(text);
    // "OFFSET:" starts an xxd line, "OFFSET  " a hexdump -C line when its ASCII
    // column follows.
    const size_t first = std::min(text.find_first_not_of(" \t\n\v\f\r"), text.size());
    const std::string_view line = text.substr(first, text.find('\n', first) - first);
    const size_t digits = std::find_if(line.begin(), line.end(), [](char c) { return HexValue(c) < 0; }) - line.begin();
    const std::string_view rest = line.substr(digits);
    if (digits > 0 && rest.starts_with(":")) return Dump(text, true);
    if (digits >= 4 && rest.starts_with("  ") && rest.find('|') != rest.npos) return Dump(text, false);
    return Free(text);
}

std::string ToHex(std::string_view bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (const unsigned char b : bytes) out += {kDigits[b >> 4], kDigits[b & 15]};
    return out;
}

size_t Utf8Length(std::string_view s) {
    const unsigned char c = s[0];
    size_t n;
    uint32_t cp;
    if (c < 0x80) return 1;
    if ((c & 0xE0) == 0xC0) {
        n = 1, cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        n = 2, cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        n = 3, cp = c & 0x07;
    } else {
        return 0;
    }
    if (n >= s.size()) return 0;
    for (size_t k = 1; k <= n; ++k) {
        const unsigned char d = s[k];
        if ((d & 0xC0) != 0x80) return 0;
        cp = cp << 6 | (d & 0x3F);
    }
    static constexpr uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n + 1;
}

bool ValidUtf8(std::string_view s) {
    for (size_t i = 0, n; i < s.size(); i += n) {
        if ((n = Utf8Length(s.substr(i))) == 0) return false;
    }
    return true;
}

std::string Escape(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const size_t n = c < 0x80 ? 1 : Utf8Length(text.substr(i));
        if ((c >= 0x20 && c < 0x7F) || (n > 1 && (c != 0xC2 || static_cast<unsigned char>(text[i + 1]) >= 0xA0))) {
            out.append(text.substr(i, n));
            i += n;
        } else {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
            ++i;
        }
    }
    return out;
}

std::optional<uint64_t> ParseNumber(std::string_view text, uint64_t lo, uint64_t hi) {
    const bool hex = text.starts_with("0x") || text.starts_with("0X");
    const std::string_view digits = text.substr(hex ? 2 : 0);
    uint64_t v = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v, hex ? 16 : 10);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || v < lo || v > hi) {
        return std::nullopt;
    }
    return v;
}

}  // namespace ssh_msg_def::internal
