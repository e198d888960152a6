#include "record_json.h"

#include <stdio.h>

#include <stdexcept>

#include "hex.h"
#include "walk.h"

namespace sshmsg {

namespace smd = ssh_msg_def::internal;
using smd::Kind;
using smd::Member;

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

uint32_t ScalarFromJson(const Json &j, const std::string &path) {
    if (!j.is_number_unsigned() || j.get<uint64_t>() > 0xFFFFFFFFu) {
        Fail(path, "expected an integer 0..4294967295, got " + j.dump());
    }
    return static_cast<uint32_t>(j.get<uint64_t>());
}

}  // namespace

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
    return Json{{"hex", ToHex(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size())}};
}

std::string BytesFromJson(const Json &j, const std::string &path) {
    std::string bytes;
    if (j.is_string()) {
        bytes = j.get<std::string>();
    } else if (j.is_object() && j.size() == 1 && j.contains("hex") && j["hex"].is_string()) {
        try {
            bytes = FromHex(j["hex"].get<std::string>());
        } catch (const std::exception &e) {
            Fail(path, e.what());
        }
    } else {
        Fail(path, "expected null, a string or {\"hex\": \"...\"}, got " + j.dump());
    }
    if (bytes.find('\0') != std::string::npos) Fail(path, "a string cannot hold a NUL byte");
    return bytes;
}

Json ToJson(const smd::Schema &s, const void *record) {
    Json out = Json::object();
    for (uint16_t i = 0; i < s.slotCount; ++i) {
        const smd::Field &f = s.fields[i];
        switch (f.kind) {
            case Kind::kScalar: out[f.name] = Member<uint32_t>(record, f.offset); break;
            case Kind::kString: {
                const char *str = Member<const char *>(record, f.offset);
                out[f.name] = str ? BytesToJson(str) : Json(nullptr);
                break;
            }
            case Kind::kTable: out[f.name] = ToJson(*f.nested, &Member<char>(record, f.offset)); break;
            case Kind::kVector: {
                const uint32_t n = Member<uint32_t>(record, f.offset);
                const auto *a = Member<const unsigned char *>(record, f.arrayOffset);
                out[std::string(f.name) + "Count"] = n;
                Json &elements = out[f.name] = a ? Json::array() : Json(nullptr);
                for (uint32_t e = 0; a && e < n; ++e) {
                    elements.push_back(ToJson(*f.nested, a + static_cast<size_t>(e) * f.nested->recordSize));
                }
                break;
            }
        }
    }
    return out;
}

void FromJson(const smd::Schema &s, const Json &j, void *record, Arena &arena, const std::string &path) {
    if (!j.is_object()) Fail(path, std::string("expected an object (a ") + s.name + " record), got " + j.dump());
    size_t known = 0;
    for (uint16_t i = 0; i < s.slotCount; ++i) {
        const smd::Field &f = s.fields[i];
        const std::string at = Join(path, f.name);
        const auto it = j.find(f.name);
        const bool present = it != j.end();
        known += present;
        if (f.kind == Kind::kVector) {
            const std::string countName = std::string(f.name) + "Count";
            const auto count = j.find(countName);
            known += count != j.end();
            const size_t n = present && it->is_array() ? it->size() : 0;
            if (present && !it->is_array() && !it->is_null()) Fail(at, "expected an array or null, got " + it->dump());
            if (count != j.end() && ScalarFromJson(*count, Join(path, countName)) != n) {
                Fail(Join(path, countName), "does not match the " + std::to_string(n) + " elements of " + f.name);
            }
            if (n > 0xFFFFFFFFu) Fail(at, "too many elements");
            Member<uint32_t>(record, f.offset) = static_cast<uint32_t>(n);
            if (n == 0) continue;
            auto *a = static_cast<unsigned char *>(arena.Array(f.nested->recordSize, n));
            Member<void *>(record, f.arrayOffset) = a;
            for (size_t e = 0; e < n; ++e) {
                FromJson(*f.nested, (*it)[e], a + e * f.nested->recordSize, arena, at + "[" + std::to_string(e) + "]");
            }
            continue;
        }
        if (!present) continue;  // the record is zeroed: 0, null, or a zero nested record
        switch (f.kind) {
            case Kind::kScalar: Member<uint32_t>(record, f.offset) = ScalarFromJson(*it, at); break;
            case Kind::kString:
                Member<char *>(record, f.offset) = it->is_null() ? nullptr : arena.String(BytesFromJson(*it, at));
                break;
            case Kind::kTable: FromJson(*f.nested, *it, &Member<char>(record, f.offset), arena, at); break;
            case Kind::kVector: break;
        }
    }
    if (known != j.size()) {
        for (const auto &[key, value] : j.items()) {
            bool found = false;
            for (uint16_t i = 0; i < s.slotCount; ++i) {
                const smd::Field &f = s.fields[i];
                found |= key == f.name || (f.kind == Kind::kVector && key == std::string(f.name) + "Count");
            }
            if (!found) Fail(Join(path, key), std::string("no such member in ") + s.name);
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

std::string ToHex(const uint8_t *data, size_t len) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(2 * len);
    for (size_t i = 0; i < len; ++i) {
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 15];
    }
    return out;
}

std::string FromHex(std::string_view text) {
    std::string out;
    HexReader reader([&](const uint8_t *bytes, size_t n) { out.append(reinterpret_cast<const char *>(bytes), n); });
    reader.Feed(text);
    reader.Finish();
    return out;
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
