#include "record_json.h"

#include <stdio.h>

#include <stdexcept>

#include "hex.h"
#include "visit.h"

namespace sshmsg {

namespace smd = ssh_msg_def::internal;
using smd::Kind;

namespace {

[[noreturn]] void Fail(const std::string &path, const std::string &what) {
    throw std::runtime_error((path.empty() ? "record" : path) + ": " + what);
}

std::string Join(const std::string &path, std::string_view member) {
    return path.empty() ? std::string(member) : path + "." + std::string(member);
}

// The length of the strict UTF-8 sequence that starts `s` (no overlong form,
// no surrogate, nothing above U+10FFFF), or 0 when it starts none.
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

// At most the first 40 characters of `text`, cut where a character starts.
std::string Short(std::string text) {
    if (text.size() <= 40) return text;
    size_t cut = 40;
    while (cut > 0 && (text[cut] & 0xC0) == 0x80) --cut;
    return text.substr(0, cut) + "...";
}

uint32_t ScalarFromJson(const Json &j, const std::string &path) {
    if (!j.is_number_unsigned() || j.get<uint64_t>() > 0xFFFFFFFFu) {
        Fail(path, "expected an integer 0..4294967295, got " + Short(j.dump()));
    }
    return static_cast<uint32_t>(j.get<uint64_t>());
}

}  // namespace

Json ParseJson(std::string_view text) {
    // The parser builds any depth, and a value's dump recurses: deep nesting is
    // refused first.
    for (size_t i = 0, depth = 0, quoted = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            i += c == '\\';
            quoted = c != '"';
        } else if (c == '[' || c == '{') {
            if (++depth > 32) throw std::runtime_error(Where(text, i) + ": JSON nested deeper than 32 levels");
        } else {
            depth -= depth > 0 && (c == ']' || c == '}');
            quoted = c == '"';
        }
    }
    try {
        return Json::parse(text);
    } catch (const Json::exception &e) {
        // "[json.exception.parse_error.101] parse error at line 1, column 5: syntax error ...; last read: '...'"
        // becomes "offset 4 (line 1, column 5): syntax error ...", with the text it quotes cut short.
        const auto *parse = dynamic_cast<const Json::parse_error *>(&e);
        std::string what = e.what();
        what.erase(0, parse ? what.find(": ", what.find(" column ")) + 2 : what.find("] ") + 2);
        if (const size_t at = what.find('\''); at != std::string::npos) {
            const size_t end = std::min(what.find("'; expected", at + 1), what.size() - 1);
            what.replace(at + 1, end - at - 1, Short(what.substr(at + 1, end - at - 1)));
        }
        throw std::runtime_error((parse ? Where(text, parse->byte > 0 ? parse->byte - 1 : 0) + ": " : "") + what);
    }
}

Records::Records(uint32_t size, size_t count) : size_(size), bytes_(new unsigned char[size * count]()) {}

char *Arena::String(const std::string &bytes) {
    strings_.push_back(std::make_unique<char[]>(bytes.size() + 1));
    bytes.copy(strings_.back().get(), bytes.size());
    return strings_.back().get();
}

void *Arena::Array(uint32_t elementSize, size_t count) {
    arrays_.emplace_back(elementSize, count);
    return arrays_.back().at(0);
}

Json BytesToJson(std::string_view bytes) {
    if (ValidUtf8(bytes)) return Json(std::string(bytes));
    return Json{{"hex", ToHex(bytes)}};
}

std::string BytesFromJson(const Json &j, const std::string &path) {
    std::string bytes;
    if (j.is_string()) {
        bytes = j.get<std::string>();
    } else if (j.is_object() && j.size() == 1 && j.contains("hex") && j["hex"].is_string()) {
        try {
            bytes = ParseHex(j["hex"].get<std::string>());
        } catch (const std::exception &e) {
            Fail(path, e.what());
        }
    } else {
        Fail(path, "expected null, a string or {\"hex\": \"...\"}, got " + Short(j.dump()));
    }
    if (bytes.find('\0') != std::string::npos) Fail(path, "a string cannot hold a NUL byte");
    return bytes;
}

Json ToJson(const smd::Schema &s, const void *record) {
    Json out = Json::object();
    smd::VisitMembers(
        s, record,
        smd::Visitor{
            [&](const smd::Field &f, uint32_t v) { out[f.name] = v; },
            [&](const smd::Field &f, const char *str) { out[f.name] = str ? BytesToJson(str) : Json(nullptr); },
            [&](const smd::Field &f, smd::NestedRecord n) { out[f.name] = ToJson(n.schema, n.record); },
            [&](const smd::Field &f, smd::ListMember l) {
                out[std::string(f.name) + "Count"] = l.count;
                Json &elements = out[f.name] = l.array ? Json::array() : Json(nullptr);
                for (uint32_t e = 0; l.array && e < l.count; ++e) {
                    elements.push_back(ToJson(l.element, l.At(e)));
                }
            }});
    return out;
}

void FromJson(const smd::Schema &s, const Json &j, void *record, Arena &arena, const std::string &path) {
    if (!j.is_object()) Fail(path, std::string("expected an object (a ") + s.name + " record), got " + Short(j.dump()));
    size_t known = 0;
    auto find = [&](const smd::Field &f, std::string *at) {
        *at = Join(path, f.name);
        const auto it = j.find(f.name);
        known += it != j.end();
        return it;
    };
    std::string at;
    smd::VisitMembers(s, record,
                      smd::Visitor{[&](const smd::Field &f, uint32_t &v) {
                                       if (const auto it = find(f, &at); it != j.end()) v = ScalarFromJson(*it, at);
                                   },
                                   [&](const smd::Field &f, char *&str) {
                                       if (const auto it = find(f, &at); it != j.end()) {
                                           str = it->is_null() ? nullptr : arena.String(BytesFromJson(*it, at));
                                       }
                                   },
                                   [&](const smd::Field &f, smd::NestedRecord n) {
                                       // Absent: the record is zeroed, so is the nested record.
                                       if (const auto it = find(f, &at); it != j.end())
                                           FromJson(n.schema, *it, n.record, arena, at);
                                   },
                                   [&](const smd::Field &f, smd::ListMember l) {
                                       const auto it = find(f, &at);
                                       const bool present = it != j.end();
                                       const std::string countName = std::string(f.name) + "Count";
                                       const auto count = j.find(countName);
                                       known += count != j.end();
                                       const size_t n = present && it->is_array() ? it->size() : 0;
                                       if (present && !it->is_array() && !it->is_null()) {
                                           Fail(at, "expected an array or null, got " + Short(it->dump()));
                                       }
                                       if (count != j.end() && ScalarFromJson(*count, Join(path, countName)) != n) {
                                           Fail(Join(path, countName),
                                                "does not match the " + std::to_string(n) + " elements of " + f.name);
                                       }
                                       if (n > 0xFFFFFFFFu) Fail(at, "too many elements");
                                       l.count = static_cast<uint32_t>(n);
                                       if (n == 0) return;
                                       l.array = arena.Array(l.element.recordSize, n);
                                       for (uint32_t e = 0; e < n; ++e) {
                                           FromJson(l.element, (*it)[e], l.At(e), arena,
                                                    at + "[" + std::to_string(e) + "]");
                                       }
                                   }});
    if (known != j.size()) {
        for (const auto &[key, value] : j.items()) {
            bool found = false;
            for (uint16_t i = 0; i < s.slotCount; ++i) {
                const smd::Field &f = s.fields[i];
                found |= key == f.name || (f.kind == Kind::kVector && key == std::string(f.name) + "Count");
            }
            if (!found) Fail(Join(path, Short(key)), std::string("no such member in ") + s.name);
        }
    }
}

std::string Pretty(const Json &j, int indent) {
    if (!j.is_structured()) return j.dump();
    const bool object = j.is_object();
    if (j.empty()) return object ? "{}" : "[]";
    // One line when no member is a record or a list and the line stays short.
    bool flat = true;
    std::string line;
    for (const auto &[key, value] : j.items()) {
        flat &= !value.is_structured() || (value.size() == 1 && value.contains("hex"));
        line += std::string(line.empty() ? "" : ", ") + (object ? Json(key).dump() + ": " : "") + Pretty(value, 0);
    }
    if (flat && indent + line.size() <= 100) return (object ? "{" : "[") + line + (object ? "}" : "]");
    const std::string pad(indent + 2, ' ');
    std::string out(object ? "{" : "[");
    for (const auto &[key, value] : j.items()) {
        out +=
            (out.size() > 1 ? ",\n" : "\n") + pad + (object ? Json(key).dump() + ": " : "") + Pretty(value, indent + 2);
    }
    return out + "\n" + std::string(indent, ' ') + (object ? "}" : "]");
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

}  // namespace sshmsg
