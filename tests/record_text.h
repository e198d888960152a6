// Records as text, generic over the schemas, for the tests and the fuzz checks:
// two records of a message are equal when their texts are. Strings are quoted
// with bytes outside printable ASCII escaped, null is "null", a nested record is
// braced, a list shows its count and, when its array is set, its elements.
#pragma once

#include <stdio.h>

#include <string>

#include "schema.h"
#include "walk.h"

inline void AppendString(std::string &out, const char *s) {
    if (s == nullptr) {
        out += "null";
        return;
    }
    out += '"';
    for (; *s != '\0'; ++s) {
        const unsigned char c = static_cast<unsigned char>(*s);
        char hex[5];
        snprintf(hex, sizeof hex, "\\x%02X", c);
        out += c < 0x20 || c >= 0x7F || c == '"' || c == '\\' ? hex : std::string(1, static_cast<char>(c));
    }
    out += '"';
}

template <const ssh_msg_def::internal::Schema *S>
void AppendRecord(std::string &out, const void *rec) {
    namespace smd = ssh_msg_def::internal;
    out += '{';
    smd::ForEachSlot<S->slotCount>([&](auto slot) {
        constexpr smd::Field f = S->fields[decltype(slot)::value];
        if (decltype(slot)::value > 0) out += ", ";
        if constexpr (f.kind == smd::Kind::kScalar) {
            out += std::to_string(smd::Member<uint32_t>(rec, f.offset));
        } else if constexpr (f.kind == smd::Kind::kString) {
            AppendString(out, smd::Member<const char *>(rec, f.offset));
        } else if constexpr (f.kind == smd::Kind::kTable) {
            AppendRecord<f.nested>(out, &smd::Member<char>(rec, f.offset));
        } else {
            const uint32_t n = smd::Member<uint32_t>(rec, f.offset);
            const auto *a = smd::Member<const uint8_t *>(rec, f.arrayOffset);
            out += std::to_string(n) + (a ? ":[" : ":null");
            for (uint32_t i = 0; a && i < n; ++i) {
                if (i > 0) out += ", ";
                AppendRecord<f.nested>(out, a + static_cast<size_t>(i) * f.nested->recordSize);
            }
            if (a) out += ']';
        }
    });
    out += '}';
}

template <const ssh_msg_def::internal::Schema *S>
std::string Describe(const void *rec) {
    std::string out;
    AppendRecord<S>(out, rec);
    return out;
}
