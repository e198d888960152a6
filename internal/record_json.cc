#include "record_json.h"

#include <stdexcept>

#include "text.h"
#include "visit.h"

namespace ssh_msg_def::internal {
namespace {

constexpr int kMaxDepth = 32;
constexpr size_t kPrettyWidth = 100;

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool Digit(char c) { return c >= '0' && c <= '9'; }

std::string Join(const std::string &path, std::string_view member) {
    return path.empty() ? std::string(member) : path + "." + std::string(member);
}

// At most the first 40 characters of `text`, cut where a character starts.
std::string Short(std::string text) {
    if (text.size() <= 40) return text;
    size_t cut = 40;
    while (cut > 0 && (text[cut] & 0xC0) == 0x80) --cut;
    return text.substr(0, cut) + "...";
}

// --- Writing ----------------------------------------------------------------

void PutQuoted(std::string &out, std::string_view s) {
    out += '"';
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char u[8];
                    snprintf(u, sizeof u, "\\u%04x", c);
                    out += u;
                } else {
                    out += ch;
                }
        }
    }
    out += '"';
}

// Bytes as a string member holds them: a JSON string when they are valid
// UTF-8, else a hex object; `spaced`: the pretty style's ": " in that object.
void PutText(std::string &out, std::string_view bytes, bool spaced) {
    if (ValidUtf8(bytes)) return PutQuoted(out, bytes);
    out += spaced ? "{\"hex\": " : "{\"hex\":";
    PutQuoted(out, ToHex(bytes));
    out += '}';
}

// A string member's value.
void PutBytes(std::string &out, const char *s, bool spaced) {
    if (s == nullptr) return (void)(out += "null");
    PutText(out, s, spaced);
}

std::string CountName(const Field &f) { return std::string(f.name) + "Count"; }

// Whether a record holds nothing but zeros and nulls.
bool Empty(const Schema &s, const void *record) {
    bool empty = true;
    VisitMembers(s, record,
                 Visitor{[&](const Field &, uint32_t v) { empty &= v == 0; },
                         [&](const Field &, const char *str) { empty &= str == nullptr; },
                         [&](const Field &, ListMember l) { empty &= l.count == 0 && l.array == nullptr; }});
    return empty;
}

// Whether the pretty style may keep a record on one line: it holds no nested
// record and no list's array.
bool Flat(const Schema &s, const void *record) {
    bool flat = true;
    VisitMembers(s, record,
                 Visitor{[](const Field &, uint32_t) {}, [](const Field &, const char *) {},
                         [&](const Field &, NestedRecord) { flat = false; },
                         [&](const Field &, ListMember l) { flat &= l.array == nullptr; }});
    return flat;
}

void WriteCompact(JsonOut &out, const Schema &s, const void *record, bool sparse) {
    std::string text = "{";
    bool first = true;
    auto key = [&](std::string_view name) {
        if (!first) text += ',';
        first = false;
        PutQuoted(text, name);
        text += ':';
    };
    VisitMembers(s, record,
                 Visitor{[&](const Field &f, uint32_t v) {
                             if (sparse && v == 0) return;
                             key(f.name);
                             text += std::to_string(v);
                         },
                         [&](const Field &f, const char *str) {
                             if (sparse && str == nullptr) return;
                             key(f.name);
                             PutBytes(text, str, false);
                         },
                         [&](const Field &f, NestedRecord n) {
                             if (sparse && Empty(n.schema, n.record)) return;
                             key(f.name);
                             out.Put(text), text.clear();
                             WriteCompact(out, n.schema, n.record, sparse);
                         },
                         [&](const Field &f, ListMember l) {
                             if (!sparse || l.count != 0) {
                                 key(CountName(f));
                                 text += std::to_string(l.count);
                             }
                             if (sparse && l.array == nullptr) return;
                             key(f.name);
                             if (l.array == nullptr) return (void)(text += "null");
                             text += '[';
                             for (uint32_t e = 0; e < l.count; ++e) {
                                 if (e > 0) text += ',';
                                 out.Put(text), text.clear();
                                 WriteCompact(out, l.element, l.At(e), sparse);
                             }
                             text += ']';
                         }});
    out.Put(text + "}");
}

// A hex object in the pretty style, on a line indented by `indent`.
void PutPrettyBytes(std::string &out, const char *s, size_t indent) {
    std::string one;
    PutBytes(one, s, true);
    if (s == nullptr || ValidUtf8(s) || indent + one.size() - 2 <= kPrettyWidth) return (void)(out += one);
    out += "{\n" + std::string(indent + 2, ' ') + one.substr(1, one.size() - 2) + "\n" + std::string(indent, ' ') + "}";
}

// The pretty style of a record whose text starts on a line indented by `indent`.
void WritePretty(JsonOut &out, const Schema &s, const void *record, size_t indent) {
    if (Flat(s, record)) {
        std::string line;
        auto member = [&](std::string_view name) {
            if (!line.empty()) line += ", ";
            PutQuoted(line, name);
            line += ": ";
        };
        VisitMembers(s, record,
                     Visitor{[&](const Field &f, uint32_t v) { member(f.name), line += std::to_string(v); },
                             [&](const Field &f, const char *str) { member(f.name), PutBytes(line, str, true); },
                             [&](const Field &f, ListMember l) {
                                 member(CountName(f)), line += std::to_string(l.count);
                                 member(f.name), line += "null";
                             }});
        if (indent + line.size() <= kPrettyWidth) return out.Put("{" + line + "}");
    }
    const std::string pad(indent + 2, ' ');
    std::string text = "{";
    bool first = true;
    auto key = [&](std::string_view name) {
        text += first ? "\n" : ",\n";
        first = false;
        text += pad;
        PutQuoted(text, name);
        text += ": ";
    };
    VisitMembers(s, record,
                 Visitor{[&](const Field &f, uint32_t v) { key(f.name), text += std::to_string(v); },
                         [&](const Field &f, const char *str) { key(f.name), PutPrettyBytes(text, str, indent + 2); },
                         [&](const Field &f, NestedRecord n) {
                             key(f.name);
                             out.Put(text), text.clear();
                             WritePretty(out, n.schema, n.record, indent + 2);
                         },
                         [&](const Field &f, ListMember l) {
                             key(CountName(f)), text += std::to_string(l.count);
                             key(f.name);
                             if (l.array == nullptr) return (void)(text += "null");
                             if (l.count == 0) return (void)(text += "[]");
                             text += '[';
                             for (uint32_t e = 0; e < l.count; ++e) {
                                 text += (e == 0 ? "\n" : ",\n") + pad + "  ";
                                 out.Put(text), text.clear();
                                 WritePretty(out, l.element, l.At(e), indent + 4);
                             }
                             text += "\n" + pad + "]";
                         }});
    out.Put(text + "\n" + std::string(indent, ' ') + "}");
}

}  // namespace

// --- Records and arena -----------------------------------------------------

void Records::Resize(size_t count) {
    words_.resize((count * size_ + 7) / 8);
    count_ = count;
}

char *Arena::String(std::string_view bytes) { return strings_.emplace_back(bytes).data(); }

void *Arena::Array(Records &&elements) { return arrays_.emplace_back(std::move(elements)).at(0); }

// --- Reading ----------------------------------------------------------------

void RecordReader::Fail(size_t at, const std::string &path, const std::string &what) const {
    throw std::runtime_error(Where(text_, at) + ": " + (path.empty() ? "" : path + ": ") + what);
}

void RecordReader::Syntax(const std::string &what) const { Fail(pos_, "", "syntax error: " + what); }

char RecordReader::Peek() {
    while (pos_ < text_.size() && Blank(text_[pos_])) ++pos_;
    return pos_ < text_.size() ? text_[pos_] : '\0';
}

size_t RecordReader::Pos() { return Peek(), pos_; }

bool RecordReader::Take(char c) {
    if (Peek() != c || pos_ == text_.size()) return false;
    ++pos_;
    return true;
}

void RecordReader::Expect(char c) {
    if (Take(c)) return;
    if (pos_ == text_.size()) Syntax(std::string("the text ends where '") + c + "' was expected");
    Syntax(std::string("'") + Escape(text_.substr(pos_, 1)) + "' where '" + c + "' was expected");
}

void RecordReader::Enter(size_t at) {
    if (++depth_ > kMaxDepth) Fail(at, "", "JSON nested deeper than 32 levels");
}

void RecordReader::End() {
    if (Pos() != text_.size()) Syntax("text after the JSON value");
}

std::string RecordReader::Got(size_t from) const {
    std::string raw(text_.substr(from, pos_ - from));
    for (char &c : raw) c = Blank(c) ? ' ' : c;
    return Short(raw);
}

std::string RecordReader::String() {
    const size_t open = pos_++;
    std::string out;
    auto hex4 = [&](size_t at) {
        uint32_t v = 0;
        for (size_t i = at; i < at + 4; ++i) {
            const char c = i < text_.size() ? text_[i] : '\0';
            const int d = Digit(c) ? c - '0' : (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10 : -1;
            if (d < 0) pos_ = i, Syntax("\\u needs four hex digits");
            v = v << 4 | static_cast<uint32_t>(d);
        }
        return v;
    };
    while (true) {
        if (pos_ >= text_.size()) Fail(open, "", "syntax error: a string never closed");
        const auto c = static_cast<unsigned char>(text_[pos_]);
        if (c == '"') break;
        if (c < 0x20) {
            char what[64];
            snprintf(what, sizeof what, "control character U+%04X in a string must be escaped", c);
            Syntax(what);
        }
        if (c >= 0x80) {
            const size_t n = Utf8Length(text_.substr(pos_));
            if (n == 0) Syntax("ill-formed UTF-8 in a string");
            out.append(text_.substr(pos_, n));
            pos_ += n;
            continue;
        }
        if (c != '\\') {
            out += static_cast<char>(c), ++pos_;
            continue;
        }
        const char e = pos_ + 1 < text_.size() ? text_[pos_ + 1] : '\0';
        const std::string_view simple = "\"\\/bfnrt", meant = "\"\\/\b\f\n\r\t";
        if (const size_t k = simple.find(e); e != '\0' && k != std::string_view::npos) {
            out += meant[k], pos_ += 2;
            continue;
        }
        if (e != 'u') ++pos_, Syntax("an unknown escape in a string");
        uint32_t cp = hex4(pos_ + 2);
        const size_t at = pos_;
        pos_ += 6;
        if (cp >= 0xDC00 && cp <= 0xDFFF) pos_ = at, Syntax("a lone low surrogate in a string");
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (text_.substr(pos_, 2) != "\\u") pos_ = at, Syntax("a high surrogate without its low one");
            const uint32_t low = hex4(pos_ + 2);
            if (low < 0xDC00 || low > 0xDFFF) pos_ = at, Syntax("a high surrogate without its low one");
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            pos_ += 6;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | cp >> 6), out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | cp >> 12), out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | cp >> 18), out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3F)), out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    ++pos_;
    return out;
}

size_t RecordReader::Value() {
    const char c = Peek();
    const size_t at = pos_;
    if (c == '{' || c == '[') {
        Enter(at);
        ++pos_;
        const char close = c == '{' ? '}' : ']';
        if (!Take(close)) {
            do {
                if (c == '{') {
                    if (Peek() != '"') Syntax("a member name was expected");
                    (void)String();
                    Expect(':');
                }
                (void)Value();
            } while (Take(','));
            Expect(close);
        }
        --depth_;
    } else if (c == '"') {
        (void)String();
    } else if (c == '-' || Digit(c)) {
        (void)Number();
    } else {
        for (const std::string_view word : {"true", "false", "null"}) {
            if (text_.substr(pos_, word.size()) == word) return pos_ += word.size(), at;
        }
        if (pos_ == text_.size()) Syntax("the text ends where a value was expected");
        Syntax("'" + Escape(text_.substr(pos_, 1)) + "' where a value was expected");
    }
    return at;
}

std::optional<uint64_t> RecordReader::Number() {
    const bool negative = text_[pos_] == '-';
    pos_ += negative;
    auto digits = [&] {
        const size_t from = pos_;
        while (pos_ < text_.size() && Digit(text_[pos_])) ++pos_;
        if (pos_ == from) Syntax("a digit was expected");
        return text_.substr(from, pos_ - from);
    };
    const std::string_view whole = digits();
    if (whole.size() > 1 && whole[0] == '0') pos_ -= whole.size() - 1, Syntax("a number with a leading zero");
    bool integer = !negative;
    if (pos_ < text_.size() && text_[pos_] == '.') ++pos_, digits(), integer = false;
    if (pos_ < text_.size() && (text_[pos_] | 0x20) == 'e') {
        ++pos_;
        if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
        digits(), integer = false;
    }
    return integer ? ParseNumber(whole) : std::nullopt;
}

uint32_t RecordReader::Scalar(const std::string &path) {
    const size_t at = Pos();
    if (Peek() == '-' || Digit(Peek())) {
        if (const std::optional<uint64_t> v = Number(); v && *v <= 0xFFFFFFFFu) return static_cast<uint32_t>(*v);
    } else {
        (void)Value();
    }
    Fail(at, path, "expected an integer 0..4294967295, got " + Got(at));
}

char *RecordReader::Bytes(const std::string &path) {
    const size_t at = Pos();
    std::string bytes;
    const int depth = depth_;
    if (text_.substr(at, 4) == "null") {
        pos_ += 4;
        return nullptr;
    } else if (Peek() == '"') {
        bytes = String();
    } else if (Peek() == '{' && (++pos_, Peek() == '"') && String() == "hex" && Take(':') && Peek() == '"') {
        const size_t hexAt = pos_;
        const std::string text = String();
        if (!Take('}')) Syntax("'}' was expected after the hex text");
        try {
            bytes = ParseHex(text);
        } catch (const std::exception &e) {
            Fail(hexAt, path, e.what());
        }
    } else {
        pos_ = at, depth_ = depth;
        (void)Value();
        Fail(at, path, "expected null, a string or {\"hex\": \"...\"}, got " + Got(at));
    }
    if (bytes.find('\0') != std::string::npos) Fail(at, path, "a string cannot hold a NUL byte");
    return arena_.String(bytes);
}

void RecordReader::Object(const Schema &s, void *record, const std::string &path) {
    const size_t at = Pos();
    if (Peek() != '{') {
        (void)Value();
        Fail(at, path, std::string("expected an object (a ") + s.name + " record), got " + Got(at));
    }
    Enter(at);
    ++pos_;
    // Members seen, each slot's and each list's count; a list's array size.
    std::vector<bool> seen(2 * s.slotCount);
    std::vector<std::pair<size_t, uint32_t>> counts(s.slotCount);  // where given, and the value
    if (!Take('}')) {
        do {
            if (Peek() != '"') Syntax("a member name was expected");
            const size_t keyAt = pos_;
            const std::string key = String();
            Expect(':');
            uint16_t i = 0;
            bool count = false;
            for (; i < s.slotCount; ++i) {
                const Field &f = s.fields[i];
                if (key == f.name) break;
                if (f.kind == Kind::kList && key == CountName(f)) {
                    count = true;
                    break;
                }
            }
            if (i == s.slotCount) {
                (void)Value();
                Fail(keyAt, Join(path, Short(key)), std::string("no such member in ") + s.name);
            }
            const std::string member = Join(path, key);
            if (seen[2 * i + count]) Fail(keyAt, member, "given twice");
            seen[2 * i + count] = true;
            const Field &f = s.fields[i];
            if (count) {
                counts[i] = {Pos(), Scalar(member)};
                continue;
            }
            switch (f.kind) {
                case Kind::kScalar: Member<uint32_t>(record, f.offset) = Scalar(member); break;
                case Kind::kString: Member<char *>(record, f.offset) = Bytes(member); break;
                case Kind::kTable: Object(*f.nested, &Member<char>(record, f.offset), member); break;
                case Kind::kList: {
                    const size_t listAt = Pos();
                    if (text_.substr(listAt, 4) == "null") {
                        pos_ += 4;
                        break;
                    }
                    if (Peek() != '[') {
                        (void)Value();
                        Fail(listAt, member, "expected an array or null, got " + Got(listAt));
                    }
                    Enter(listAt);
                    ++pos_;
                    Records elements(f.nested->recordSize);
                    if (!Take(']')) {
                        do {
                            const std::string at = member + "[" + std::to_string(elements.size()) + "]";
                            Object(*f.nested, elements.Add(), at);
                        } while (Take(','));
                        Expect(']');
                    }
                    --depth_;
                    Member<uint32_t>(record, f.offset) = static_cast<uint32_t>(elements.size());
                    if (elements.size() > 0) Member<void *>(record, f.arrayOffset) = arena_.Array(std::move(elements));
                    break;
                }
            }
        } while (Take(','));
        Expect('}');
    }
    --depth_;
    for (uint16_t i = 0; i < s.slotCount; ++i) {
        const Field &f = s.fields[i];
        const uint32_t n = f.kind == Kind::kList ? Member<uint32_t>(record, f.offset) : 0;
        if (seen[2 * i + 1] && counts[i].second != n) {
            Fail(counts[i].first, Join(path, CountName(f)),
                 "does not match the " + std::to_string(n) + (n == 1 ? " element of " : " elements of ") + f.name);
        }
    }
}

void RecordReader::Record(const Schema &s, void *record) { Object(s, record, ""); }

void RecordReader::Many(const Schema &s, Records &out) {
    const size_t at = Pos();
    if (Peek() != '[') return Object(s, out.Add(), "");
    Enter(at);
    ++pos_;
    if (!Take(']')) {
        do {
            const std::string at = "[" + std::to_string(out.size()) + "]";
            Object(s, out.Add(), at);
        } while (Take(','));
        Expect(']');
    }
    --depth_;
}

// --- Writing, the interface -------------------------------------------------

bool JsonOut::Flush() {
    if (file_ != nullptr && !text_.empty()) {
        ok_ &= fwrite(text_.data(), 1, text_.size(), file_) == text_.size();
        text_.clear();
    }
    return ok_;
}

void WriteRecord(JsonOut &out, const Schema &s, const void *record, Style style) {
    if (style == Style::kPretty) return WritePretty(out, s, record, 0);
    WriteCompact(out, s, record, style == Style::kSparse);
}

std::string RecordText(const Schema &s, const void *record, Style style) {
    JsonOut out;
    WriteRecord(out, s, record, style);
    return std::move(out.text());
}

std::string BytesJson(std::string_view bytes) {
    std::string out;
    PutText(out, bytes, false);
    return out;
}

}  // namespace ssh_msg_def::internal
