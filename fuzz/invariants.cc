// Non-template parts of the invariant checks: the host OS layer's trace and
// counters, reporting, and strings placed in the output.
#include "invariants.h"

#include <stdio.h>
#include <stdlib.h>

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

void CheckAliasing(const smd::Schema &s, uint32_t (*pack)(const void *, uint8_t *, uint32_t *), const void *rec,
                   const Bytes &enc) {
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
            SMD_CHECK(pack(copy.data(), &area[at], &length) == 0 && length == size &&
                          std::equal(area.begin(), area.begin() + at, before.begin()) &&
                          std::equal(area.begin() + at + size, area.end(), before.begin() + at + size) &&
                          (at == 0 || std::equal(enc.begin(), enc.end(), area.begin() + at)),
                      Describe(s, rec) + ": string " + std::to_string(j) + " placed " + std::to_string(at) +
                          " before the encoding");
        }
    }
}

}  // namespace smd_fuzz
