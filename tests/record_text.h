// Records as text, for the case runner and the fuzz checks: two records of a
// message are equal when their texts are. A scalar is decimal, a string quoted
// with bytes outside printable ASCII as \xNN, null is "null", a nested record
// is braced, a list is COUNT:null or COUNT:[ELEMENTS]. The runner also reads
// this form back, with two shorthands for long members: "text"*N is the text
// N times, and COUNT:zeros a list of COUNT zero elements. A string of one byte
// 16 times or more prints in the shorthand.
#pragma once

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>

#include <deque>
#include <string>

#include "internal.h"
#include "visit.h"

namespace smd_text {

namespace smd = ssh_msg_def::internal;

inline void AppendString(std::string &out, const char *s) {
    if (s == nullptr) {
        out += "null";
        return;
    }
    size_t run = 1;
    while (s[0] != '\0' && s[run] == s[0]) ++run;
    if (run >= 16 && s[run] == '\0') {  // one byte many times: the shorthand
        const std::string one(1, s[0]);
        AppendString(out, one.c_str());
        out += "*" + std::to_string(run);
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

struct Printer {
    std::string &out;
    void Sep() {
        if (out.back() != '{') out += ", ";
    }
    void operator()(const smd::Field &, uint32_t v) { Sep(), out += std::to_string(v); }
    void operator()(const smd::Field &, char *s) { Sep(), AppendString(out, s); }
    void operator()(const smd::Field &, smd::NestedRecord n) { Sep(), Append(n.schema, n.record); }
    void operator()(const smd::Field &, smd::ListMember l) {
        Sep();
        out += std::to_string(l.count) + (l.array ? ":[" : ":null");
        for (uint32_t i = 0; l.array && i < l.count; ++i) {
            if (i > 0) out += ", ";
            Append(l.element, l.At(i));
        }
        if (l.array) out += ']';
    }
    void Append(const smd::Schema &s, const void *rec) {
        out += '{';
        smd::VisitMembers(s, rec, *this);
        out += '}';
    }
};

inline std::string Describe(const smd::Schema &s, const void *rec) {
    std::string out;
    Printer{out}.Append(s, rec);
    return out;
}

// Reads a record's text into zeroed storage; what its pointers point to lives
// in `pool` (zeros: pages mapped read-only). Sets `ok` false on text it cannot read.
struct Parser {
    const char *p;
    std::deque<std::string> &pool;
    bool ok = true;

    bool Take(const char *word) {
        while (*p == ' ' || *p == ',') ++p;
        const size_t n = strlen(word);
        if (strncmp(p, word, n) != 0) return false;
        p += n;
        return true;
    }
    uint32_t Number() {
        while (*p == ' ' || *p == ',') ++p;
        char *end;
        const unsigned long v = strtoul(p, &end, 0);
        ok &= end != p;
        p = end;
        return static_cast<uint32_t>(v);
    }
    // The bytes of a quoted string, the shorthand's repetition applied.
    std::string Quoted() {
        std::string s;
        for (; *p != '"' && *p != '\0'; ++p) {
            unsigned v;
            s += p[0] == '\\' && sscanf(p, "\\x%2x", &v) == 1 ? (p += 3, static_cast<char>(v)) : *p;
        }
        ok &= Take("\"");
        std::string all;
        for (uint32_t n = Take("*") ? Number() : 1; n > 0; --n) all += s;
        return all;
    }
    void operator()(const smd::Field &, uint32_t &v) { v = Number(); }
    void operator()(const smd::Field &, char *&s) {
        s = Take("null") ? nullptr : (ok &= Take("\""), pool.push_back(Quoted()), pool.back().data());
    }
    void operator()(const smd::Field &, smd::NestedRecord n) { Read(n.schema, n.record); }
    void operator()(const smd::Field &, smd::ListMember l);
    void Read(const smd::Schema &s, void *rec) {
        ok &= Take("{");
        smd::VisitMembers(s, rec, *this);
        ok &= Take("}");
    }
};

inline void Parser::operator()(const smd::Field &, smd::ListMember l) {
    l.count = Number();
    ok &= Take(":");
    const size_t bytes = size_t{l.count} * l.element.recordSize;
    if (Take("null")) return;
    if (Take("zeros")) {
        l.array = mmap(nullptr, bytes, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        ok &= l.array != MAP_FAILED;
        return;
    }
    l.array = pool.emplace_back(bytes + 1, '\0').data();
    ok &= Take("[");
    uint32_t n = 0;
    while (ok && !Take("]")) {
        ok &= n < l.count;
        if (ok) Read(l.element, l.At(n++));
    }
    ok &= n == l.count;
}

// A copy of the n bytes at p that ends where 1 MiB without access begins, so
// that a decoder reading past the end of its buffer ends the process.
inline const uint8_t *Guarded(const uint8_t *p, size_t n) {
    constexpr size_t kRoom = 1 << 20;
    static uint8_t *const room = [] {
        void *area = mmap(nullptr, 2 * kRoom, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        const bool ok = area != MAP_FAILED && mprotect(static_cast<uint8_t *>(area) + kRoom, kRoom, PROT_NONE) == 0;
        return ok ? static_cast<uint8_t *>(area) + kRoom : nullptr;
    }();
    if (room == nullptr || n > kRoom) return p;
    if (n != 0) memcpy(room - n, p, n);  // p may be null then
    return room - n;
}

}  // namespace smd_text
