// Non-template parts of the invariant checks: reporting and the expected texts.
#include "invariants.h"

#include <stdio.h>
#include <stdlib.h>

namespace smd_fuzz {

void Fail(const char *condition, const std::string &detail) {
    // Records with thousands of list elements render long: the head tells enough.
    const std::string shown = detail.size() <= 3000 ? detail : detail.substr(0, 3000) + "...";
    fprintf(stderr, "invariant broken in %s: %s\n%s\n", gWhere, condition, shown.c_str());
    abort();
}

namespace {

void OnCall(const ZvdHost_Call *c, void *) {
    if (c->kind == ZVD_HOST_CACHE_ALLOC) gSeen.cache.push_back({c->size, c->tag, c->block == nullptr});
}

void OnLog(const ZvdHost_LogLine *l, void *) { gSeen.logs.push_back({l->code, l->tag, l->text}); }

ZvdHost_Counters Counters() {
    ZvdHost_Counters c;
    ZvdHost_GetCounters(&c);
    return c;
}

}  // namespace

void Reset(long refuse) {
    ZvdHost_SetTrace(OnCall, nullptr);
    ZvdHost_SetLogSink(OnLog, nullptr);
    ZvdHost_FailAllocation(static_cast<uint64_t>(refuse + 1));
    gSeen = {};
}

long Live() { return static_cast<long>(Counters().liveBlocks); }
long BadFrees() { return static_cast<long>(Counters().badFrees); }

std::string MallocText(const char *tag, uint32_t size) {
    // Plain nested decoders log the wide form of the message.
    bool wide = false;
    ForEachMessage([&]<const smd::Schema * S>() {
        wide |= S->nested == smd::NestedForm::kPlain && strcmp(tag, S->tags.nested) == 0;
    });
    char text[96];
    snprintf(text, sizeof text, "[ZIRKO]:Malloc unpack data unsuccess,%ssize(%u)", wide ? "                " : " ",
             size);
    return text;
}

std::string MessageName(const smd::Schema *s) {
    const std::string tag = s->tags.unpack;  // "<Ns>_<Msg>_unpack"
    const size_t from = tag.find('_') + 1;
    return tag.substr(from, tag.rfind("_unpack") - from);
}

}  // namespace smd_fuzz
