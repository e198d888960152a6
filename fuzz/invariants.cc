// The invariant checks, with the host OS layer's trace and counters and the
// reporting of what broke.
#include "invariants.h"

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>

namespace smd_fuzz {

void Fail(const char *condition, const std::string &detail) {
    // Records with thousands of list elements render long: the head tells enough.
    fprintf(stderr, "invariant broken in %s: %s\n%.3000s\n", gWhere, condition, detail.c_str());
    abort();
}

void Reset(long refuse) {
    ZvdHost_SetTrace(
        [](const ZvdHost_Call *c, void *) {
            if (c->kind == ZVD_HOST_CACHE_ALLOC) gAllocs.push_back({c->size, c->tag, c->block == nullptr});
        },
        nullptr);
    ZvdHost_SetLogSink([](const ZvdHost_LogLine *l, void *) { gLogs.push_back({l->code, l->tag, l->text}); }, nullptr);
    ZvdHost_FailAllocation(static_cast<uint64_t>(refuse + 1));
    gAllocs.clear();
    gLogs.clear();
}

long Live() {
    ZvdHost_Counters c;
    ZvdHost_GetCounters(&c);
    return c.badFrees != 0 ? -1 : static_cast<long>(c.liveBlocks);
}

// Packs the record with each of its strings moved into the output (see
// CheckRoundTrip).
void CheckAliasing(const Message &c, const void *rec, const Bytes &enc) {
    const smd::Schema &s = c.schema;
    const size_t size = enc.size();
    for (size_t j = 0;; ++j) {
        Bytes copy(static_cast<const uint8_t *>(rec), static_cast<const uint8_t *>(rec) + s.recordSize);
        char **str = nullptr;
        size_t seen = 0;
        smd::VisitMembers(
            s, copy.data(),
            smd::Visitor{[](const smd::Field &, uint32_t &) {}, [](const smd::Field &, smd::ListMember) {},
                         [&](const smd::Field &, char *&p) { str = p && seen++ == j ? &p : str; }});
        if (str == nullptr) return;
        const std::string text = *str;
        for (const size_t at : {text.size(), size_t{0}}) {
            Bytes area(text.c_str(), text.c_str() + text.size() + 1);
            area.resize(text.size() + size + 8, 0xEE);
            *str = reinterpret_cast<char *>(area.data());
            const Bytes before = area;
            auto length = static_cast<uint32_t>(size);
            SMD_CHECK(c.pack(copy.data(), &area[at], &length) == 0 && length == size &&
                          std::equal(area.begin(), area.begin() + at, before.begin()) &&
                          std::equal(area.begin() + at + size, area.end(), before.begin() + at + size) &&
                          (at == 0 || std::equal(enc.begin(), enc.end(), area.begin() + at)),
                      Describe(s, rec) + ": string " + std::to_string(j) + " placed " + std::to_string(at) +
                          " before the encoding");
        }
    }
}

Bytes AfterFailedAllocation(const smd::Schema &s, const void *full, size_t k, size_t *owned) {
    Bytes r(static_cast<const uint8_t *>(full), static_cast<const uint8_t *>(full) + s.recordSize);
    bool failed = false;
    auto drop = [&](auto &p) {
        if (p != nullptr && owned != nullptr) ++*owned;
        if (p != nullptr && !failed && k-- == 0) failed = true;
        p = nullptr;
    };
    smd::VisitMembers(s, r.data(),
                      smd::Visitor{[&](const smd::Field &, uint32_t &v) { v = failed ? 0 : v; },
                                   [&](const smd::Field &, char *&p) { drop(p); },
                                   [&](const smd::Field &, smd::ListMember l) {
                                       l.count = failed ? 0 : l.count;  // read before its array is allocated
                                       drop(l.array);
                                   }});
    return r;
}

Bytes CheckRoundTrip(const Message &c, const void *rec) {
    const std::string want = Describe(c.schema, rec);
    const uint32_t size = c.measure(rec);
    Bytes enc;
    for (const uint32_t room : {size, size - 1, size + 64}) {
        Bytes out(room, 0xEE);
        uint32_t length = room;
        const bool fits = room >= size;
        SMD_CHECK(c.pack(rec, out.data(), &length) == (fits ? 0 : SSH_MSG_DEF_ERROR), want);
        if (room == size) enc = out;
        Bytes expect = fits ? enc : Bytes();
        expect.resize(room, 0xEE);
        SMD_CHECK(length == (fits ? size : room) && out == expect, want + " in a room of " + std::to_string(room));
    }
    CheckAliasing(c, rec, enc);
    Bytes back(c.schema.recordSize), again(size);
    uint32_t length = size;
    SMD_CHECK(c.decode(enc.data(), size, back.data()) && Describe(c.schema, back.data()) == want &&
                  c.pack(back.data(), again.data(), &length) == 0 && again == enc,
              Describe(c.schema, back.data()) + "\nwanted\n" + want);
    c.release(back.data());
    return enc;
}

size_t CheckDecode(const Message &c, const uint8_t *data, size_t size) {
    gWhere = c.schema.tags.unpack;
    if (size > 0x7FFFFFFF) return 0;
    // Every decode reads a copy at the end of a mapping, where a read past the
    // end ends the process in any build, but one, of a copy of exactly the
    // input's size, where a sanitizer sees a read past either end.
    const uint8_t *const in = Guarded(data, size);
    const Bytes copy(data, data + size);
    const uint32_t len = static_cast<uint32_t>(size);
    Bytes rec(c.schema.recordSize), seenRec(c.schema.recordSize), copyRec(c.schema.recordSize);
    Refusals seen;
    const bool seenOk = c.observe(*c.schema.recv, in, len, seenRec.data(), seen);
    const std::string seenText = Describe(c.schema, seenRec.data());
    if (seenOk) c.release(seenRec.data());
    const bool copyOk = c.decode(copy.data(), len, copyRec.data());
    const std::string copyText = Describe(c.schema, copyRec.data());
    if (copyOk) c.release(copyRec.data());

    Reset();
    const bool ok = c.decode(in, len, rec.data());
    size_t owned = 0;
    (void)AfterFailedAllocation(c.schema, rec.data(), SIZE_MAX, &owned);
    SMD_CHECK(std::equal(in, in + size, data) && seenOk == ok && seen.count == !ok &&
                  seenText == Describe(c.schema, rec.data()) && copyOk == ok && copyText == seenText,
              "observed " + seenText + "\nnot " + Describe(c.schema, rec.data()));
    SMD_CHECK(Live() == static_cast<long>(owned) &&
                  (ok ? gLogs.empty() && gAllocs.size() == owned
                      : owned == 0 && gLogs.size() <= 1 && (gLogs.empty() || gLogs[0].code == smd::kCodeInvalid)),
              Describe(c.schema, rec.data()) + (gLogs.empty() ? "" : "\nlogged " + gLogs[0].text));
    const std::vector<Allocation> allocs = ok ? gAllocs : std::vector<Allocation>();
    for (size_t k = 0; k < allocs.size(); ++k) {
        auto at = [&] { return "allocation " + std::to_string(k) + " of " + Describe(c.schema, rec.data()); };
        Reset(static_cast<long>(k));
        Bytes out(c.schema.recordSize);
        SMD_CHECK(!c.decode(in, len, out.data()) && Live() == static_cast<long>(owned) &&
                      out == AfterFailedAllocation(c.schema, rec.data(), k),
                  at() + "\nleft " + Describe(c.schema, out.data()));
        SMD_CHECK(gAllocs.size() == k + 1 && gAllocs[k].refused && gAllocs[k].size == allocs[k].size &&
                      gAllocs[k].tag == allocs[k].tag && gLogs.size() == 1 && gLogs[0].code == smd::kCodeNoMemory &&
                      gLogs[0].tag == allocs[k].tag &&
                      gLogs[0].text.starts_with("[ZIRKO]:Malloc unpack data unsuccess,") &&
                      gLogs[0].text.ends_with(" size(" + std::to_string(allocs[k].size) + ")"),
                  at());
        Reset(static_cast<long>(k));
        Refusals told;
        SMD_CHECK(!c.observe(*c.schema.recv, in, len, out.data(), told) && told.count == 1 &&
                      told.rule == smd::Rule::kNoMemory && told.value == allocs[k].size,
                  at());
    }
    Reset();
    if (ok) (void)CheckRoundTrip(c, rec.data());
    // Released twice: the first nulls every owned pointer and changes nothing
    // else, the second changes nothing; no block is left.
    const Bytes released = AfterFailedAllocation(c.schema, rec.data(), SIZE_MAX);
    c.release(nullptr);
    for (int round = 0; round < 2; ++round) {
        c.release(rec.data());
        SMD_CHECK(rec == released && Live() == 0,
                  Describe(c.schema, rec.data()) + ", live blocks " + std::to_string(Live()));
    }
    return allocs.size();
}

}  // namespace smd_fuzz
