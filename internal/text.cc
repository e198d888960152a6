#include "text.h"

#include <stdio.h>

#include <algorithm>
#include <charconv>
#include <stdexcept>

namespace ssh_msg_def::internal {
namespace {

constexpr std::string_view kForms =
    " (--hex reads plain hex, 0x prefixes, a C initialiser, xxd (-g 1 or 2), hexdump -C or od -tx1 output)";

// Why a dump of words is refused rather than read as its digits.
constexpr std::string_view kWords =
    ": their bytes are in the writing machine's order (od -tx1 and hexdump -C write bytes)";

// A refusal and the place it is about: of the readings of an od dump, the one
// refused furthest in is the one reported.
struct Refusal : std::runtime_error {
    Refusal(const std::string &what, size_t at) : std::runtime_error(what), pos(at) {}
    size_t pos;
};

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') return (c | 0x20) - 'a' + 10;
    return -1;
}

// An offset as the dump writes it: hex, decimal or octal.
std::string Number(uint64_t v, int base) {
    const char *format = base == 16 ? "0x%llx" : base == 8 ? "0%llo" : "%llu";
    char text[32];
    snprintf(text, sizeof text, format, static_cast<unsigned long long>(v));
    return text;
}

bool Blank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::string_view TrimRight(std::string_view s) { return s.substr(0, s.find_last_not_of(" \t\r") + 1); }

[[noreturn]] void Fail(std::string_view text, size_t pos, const std::string &what) {
    throw Refusal(Where(text, pos) + ": " + what, pos);
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

// The ASCII column of these bytes, and whether `shown` ends with it after blanks.
std::string Ascii(std::string_view bytes) {
    std::string ascii;
    for (const char b : bytes) ascii += b >= 0x20 && b < 0x7F ? b : '.';
    return ascii;
}
bool Shows(std::string_view shown, std::string_view bytes) {
    const std::string ascii(TrimRight(Ascii(bytes)));
    return shown.ends_with(ascii) && shown.find_first_not_of(' ') >= shown.size() - ascii.size();
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
        } else if (c == '*') {
            Foreign(t, i, "'*' without an offset column to say how far it repeats (od -v writes every line)");
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

enum class Form { kXxd, kHexdump, kOd };

// A dump read as its writer lays it out, its offsets in `base`.
std::string Dump(std::string_view t, Form form, int base) {
    const bool xxd = form == Form::kXxd;
    std::string out, previous;  // previous: the bytes of the line before, for "*"
    bool started = false, repeat = false, cut = false, ended = false;
    uint64_t first = 0;  // the first line's offset
    size_t width = 0;    // the first line's bytes
    for (size_t start = 0; start < t.size();) {
        const size_t eol = std::min(t.find('\n', start), t.size());
        const std::string_view line = TrimRight(t.substr(start, eol - start));
        const size_t i = line.find_first_not_of(" \t"), at = start;
        start = eol + 1;
        if (i == std::string_view::npos) continue;
        if (line.substr(i) == "*") {
            if (!started) Fail(t, at + i, "'*' before any line it could repeat");
            // xxd -r reads the lines xxd -a leaves out as zero bytes.
            if (xxd && previous.find_first_not_of('\0') != std::string::npos) {
                Fail(t, at + i, "'*' after a line that is not all zero bytes");
            }
            repeat = true;
            continue;
        }
        size_t j = i;
        uint64_t offset = 0;
        for (; j < line.size() && HexValue(line[j]) >= 0 && HexValue(line[j]) < base; ++j) {
            if (j - i == 16) Fail(t, at + i, "an offset column longer than 16 digits");
            offset = offset * static_cast<unsigned>(base) + static_cast<uint64_t>(HexValue(line[j]));
        }
        if (j == i) NotHex(t, at + i);
        if (xxd && (j == line.size() || line[j] != ':')) Foreign(t, at + j, "no ':' after the offset column");
        if (!xxd && j < line.size() && line[j] != ' ') Foreign(t, at + j, "no blank after the offset column");
        if (!started) started = true, first = offset;
        const uint64_t want = offset - first;  // the bytes before the line, as its offset says
        if (repeat && offset >= first && want > out.size() && !previous.empty() &&
            (want - out.size()) % previous.size() == 0) {
            // "*": the line before, again and again, up to this offset.
            if (want > kMaxInput) Fail(t, at + i, "the lines '*' stands for make more than 67108864 bytes");
            while (out.size() < want) out += previous;
        }
        repeat = false;
        if (offset < first || want != out.size()) {
            Fail(t, at + i,
                 "the offset column says " + Number(offset, base) + " where " + Number(first + out.size(), base) +
                     " follows the lines before");
        }
        // The hex column runs to two blanks (xxd), to '|' (hexdump -C) or to
        // the end of the line (od, hexdump -C with its ASCII column cut off).
        const size_t from = j + xxd;
        size_t end = line.size();
        if (form != Form::kOd) end = std::min(xxd ? line.find("  ", from) : line.find('|', from), end);
        std::string swapped;  // each group's bytes the other way round, as xxd -e would show them
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
                Foreign(t, at + group,
                        "a group of " + std::to_string(k - group) + " digits" +
                            (xxd || k - group < 4 ? "" : std::string(kWords)));
            }
            Bytes(line, group, k, previous);
            for (size_t d = k; d > group; d -= 2) Bytes(line, d - 2, d, swapped);
        }
        if (width == 0) width = previous.size();
        if (previous.size() > width) {
            Fail(t, at + from,
                 "a line of " + std::to_string(previous.size()) + " bytes after lines of " + std::to_string(width));
        }
        const std::string_view shown = line.substr(end);
        ended = previous.empty();
        if (xxd) {
            // xxd -r reads the hex column, so a line edited there is read, its
            // ASCII column left as it was; but xxd writes no line without
            // bytes, nor more after them than their ASCII column, and a column
            // that shows each group's bytes reversed is xxd -e's.
            const size_t shows = shown.find_first_not_of(' ');
            if (ended || (shows != shown.npos && shown.size() - shows > previous.size())) {
                Foreign(t, at + end, "the hex column does not end before the line's ASCII column");
            }
            if (!Shows(shown, previous) && Shows(shown, swapped)) {
                Foreign(t, at + end, "the ASCII column shows each group's bytes reversed, as xxd -e writes them");
            }
        } else if (form == Form::kHexdump && !shown.empty() && shown != "|" + Ascii(previous) + "|") {
            Foreign(t, at + end, "the ASCII column does not show the line's bytes");
        }
        cut |= form == Form::kHexdump && shown.empty() && !ended;
        out += previous;
    }
    if (repeat) Fail(t, t.size(), "no offset line after '*' says where the repeated lines end");
    // Without an ASCII column to show the bytes, the offset line that ends
    // every od and hexdump -C output is what tells a dump from plain hex.
    if ((form == Form::kOd || cut) && !ended) {
        Fail(t, t.size(), "no offset line ends the dump, as od and hexdump -C end theirs");
    }
    return out;
}

// od pads its offsets to six digits in hex (-Ax), to seven in decimal (-Ad)
// and octal (the default): a wider first offset starts with no 0. Each reading
// gives the same bytes but where a "*" stands for lines, so every reading the
// offsets hold in must agree.
std::string Od(std::string_view t, size_t digits, size_t pos) {
    std::string read;
    bool readOnce = false;
    std::optional<Refusal> why;
    for (const int base : {10, 8, 16}) {
        const size_t width = base == 16 ? 6 : 7;
        if (digits < width || (digits > width && t[pos] == '0')) continue;
        std::string bytes;
        try {
            bytes = Dump(t, Form::kOd, base);
        } catch (const Refusal &e) {
            if (!why || e.pos > why->pos) why = e;
            continue;
        }
        if (readOnce && bytes != read)
            Fail(t, pos, "read as decimal or as octal, the offsets give different bytes (od -Ax tells them apart)");
        read = std::move(bytes), readOnce = true;
    }
    if (!why && !readOnce)
        Foreign(t, pos, "an offset of " + std::to_string(digits) + " digits that starts with 0, as od writes none");
    if (!readOnce) throw *why;
    return read;
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
    const size_t first = std::min(text.find_first_not_of(" \t\n\v\f\r"), text.size());
    const std::string_view line = TrimRight(text.substr(first, text.find('\n', first) - first));
    const size_t digits = std::find_if(line.begin(), line.end(), [](char c) { return HexValue(c) < 0; }) - line.begin();
    const std::string_view rest = line.substr(digits);
    const auto hex = [&](size_t k) { return k < rest.size() && HexValue(rest[k]) >= 0; };
    // "OFFSET:" starts an xxd line; "OFFSET  " a hexdump -C line, with its
    // ASCII column or, cut off, with a byte after the blanks; "OFFSET " an od
    // line, when the offset has six or seven digits (plain hex runs no 3-byte
    // word into bytes) or a lone offset ends the text.
    if (digits > 0 && rest.starts_with(":")) return Dump(text, Form::kXxd, 16);
    if (digits >= 4 && rest.starts_with("  ") &&
        (rest.find('|') != rest.npos || (hex(2) && hex(3) && (rest.size() == 4 || rest[4] == ' ')))) {
        return Dump(text, Form::kHexdump, 16);
    }
    const size_t last = text.find_last_not_of(" \t\n\v\f\r"), eol = text.rfind('\n', last) + 1;
    const bool lone = text.find_first_not_of("0123456789abcdefABCDEF", eol) > last;  // od's final line, if it is one
    if (digits >= 6 && (digits <= 7 || (lone && last >= eol + 5)) && rest.starts_with(" ") && hex(1)) {
        return Od(text, digits, first);
    }
    // od -An without -tx1: one blank, then words of one width.
    bool words = first > 0 && text[first - 1] == ' ' && (first == 1 || text[first - 2] == '\n') && digits > 2 &&
                 (line.size() + 1) % (digits + 1) == 0;
    for (size_t k = digits; words && k < line.size(); ++k) {
        words = (k + 1) % (digits + 1) == 0 ? line[k] == ' ' : HexValue(line[k]) >= 0;
    }
    if (words)
        Foreign(text, first,
                "words of " + std::to_string(digits) + " digits, as od -An writes them" + std::string(kWords));
    // A line alone that could be the offset od or hexdump -C end an empty dump
    // with (at most 64 MiB in hex, or decimal digits only) is no more surely
    // 3 or 4 bytes. A word without a line break (a case's patch, a JSON
    // string) is no dump.
    if ((digits == 6 || digits == 8) && digits == line.size() &&
        text.find_first_not_of(" \t\n\v\f\r", first + digits) == text.npos && text.find('\n', first) != text.npos &&
        (line.find_first_not_of("0123456789") == line.npos || ParseNumber("0x" + std::string(line), 0, kMaxInput))) {
        Foreign(text, first,
                "'" + std::string(line) + "' alone may be the offset line of an empty dump (bytes: write 0x" +
                    std::string(line) + ")");
    }
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
