// Records as text, for the tests and the fuzz checks: two records of a message
// are equal when their texts are. Strings are quoted with bytes outside
// printable ASCII escaped, null is "null", a nested record is braced, a list
// shows its count and, when its array is set, its elements.
#pragma once

#include <stdio.h>

#include <string>

#include "internal.h"

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

struct RecordText {
    std::string &out;
    void Sep() {
        if (out.back() != '{') out += ", ";
    }
    void operator()(const ssh_msg_def::internal::Field &, uint32_t v) { Sep(), out += std::to_string(v); }
    void operator()(const ssh_msg_def::internal::Field &, char *s) { Sep(), AppendString(out, s); }
    void operator()(const ssh_msg_def::internal::Field &, ssh_msg_def::internal::NestedRecord n) {
        Sep(), Append(n.schema, n.record);
    }
    void operator()(const ssh_msg_def::internal::Field &, ssh_msg_def::internal::ListMember l) {
        Sep();
        out += std::to_string(l.count) + (l.array ? ":[" : ":null");
        for (uint32_t i = 0; l.array && i < l.count; ++i) {
            if (i > 0) out += ", ";
            Append(l.element, l.At(i));
        }
        if (l.array) out += ']';
    }
    void Append(const ssh_msg_def::internal::Schema &s, const void *rec) {
        out += '{';
        ssh_msg_def::internal::VisitMembers(s, rec, *this);
        out += '}';
    }
};

inline std::string Describe(const ssh_msg_def::internal::Schema &s, const void *rec) {
    std::string out;
    RecordText{out}.Append(s, rec);
    return out;
}

template <const ssh_msg_def::internal::Schema *S>
std::string Describe(const void *rec) {
    return Describe(*S, rec);
}
