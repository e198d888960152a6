// Non-template parts of the invariant checks: the host OS layer's trace and
// counters, and reporting.
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

}  // namespace smd_fuzz
