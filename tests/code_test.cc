// What only code reaches: the check every message's schema passes at compile
// time, and the first binding of a module's hooks from two threads at once.
#include <pthread.h>
#include <sched.h>

#include <gtest/gtest.h>

#include <atomic>

#include "internal.h"
#include "ssh_msg_def/zvd_host.h"

namespace {

namespace smd = ssh_msg_def::internal;

// A schema that disagrees with its record is caught by the check every
// message's schema passes at compile time. Rows of a 16-byte record place two
// members a byte too close and just far enough apart, for each kind of member,
// and break the other rules once each.
using K = smd::Kind;
constexpr smd::Field kScalar{K::kScalar, 0, 0, 4, nullptr, "a"};
constexpr smd::Field Scalar(uint16_t at) { return {K::kScalar, at, 0, 4, nullptr, "b"}; }
struct SchemaRow {
    smd::Field fields[2];
    bool sound;
    bool fixedImage = false;
};
constexpr SchemaRow kSchemaRows[] = {
    {{kScalar, kScalar}, false},
    {{kScalar, Scalar(3)}, false},
    {{kScalar, Scalar(4)}, true},
    {{{K::kString, 0, 0, 8, nullptr, "s"}, Scalar(7)}, false},
    {{{K::kString, 0, 0, 8, nullptr, "s"}, Scalar(8)}, true},
    {{{K::kTable, 0, 0, 8, &smd::kForwardPort, "t"}, Scalar(7)}, false},
    {{{K::kTable, 0, 0, 8, &smd::kForwardPort, "t"}, Scalar(8)}, true},
    {{{K::kTable, 0, 0, 4, &smd::kForwardPort, "t"}}, false},   // a nested record of another size
    {{{K::kList, 0, 3, 8, &smd::kForwardPort, "v"}}, false},  // the array over its count
    {{{K::kList, 0, 4, 8, &smd::kForwardPort, "v"}, Scalar(11)}, false},
    {{{K::kList, 0, 4, 8, &smd::kForwardPort, "v"}, Scalar(12)}, true},
    {{{K::kList, 0, 4, 4, &smd::kForwardPort, "v"}}, false},      // elements of another size
    {{{K::kList, 0, 8, 32, &smd::kFileTrans, "v"}}, false},       // elements that own memory
    {{{K::kTable, 0, 0, 8, nullptr, "t"}}, false},                  // a nested table without its schema
    {{{K::kScalar, 0, 0, 4, &smd::kForwardPort, "s"}}, false},      // a scalar with a schema
    {{kScalar, {K::kString, 8, 0, 8, nullptr, "s"}}, false, true},  // a fixed image of a string
    {{kScalar, Scalar(13)}, false},                                 // past the record's end
    {{kScalar, Scalar(12)}, true},                                  // up to it
};
TEST(Schema, MalformedTablesAreRefused) {
    for (const SchemaRow &row : kSchemaRows) {
        smd::Schema s = smd::kForwardPort;  // of one field, or of two when the second is named
        s.fields = row.fields;
        s.slotCount = row.fields[1].name != nullptr ? 2 : 1;
        s.recordSize = 16;
        s.fixedImage = row.fixedImage;
        EXPECT_EQ(smd::WellFormed(s), row.sound) << "row " << &row - kSchemaRows;
    }
}

// Concurrency: the first binding of a module's hooks, at the same instant in
// two threads. A barrier releases its threads one after the other, often
// further apart than a binding lasts, so these two spin instead: the first
// returns the modules to their load-time state and gives the start signal,
// which the second is already watching for. Under ThreadSanitizer (the tsan
// preset) a binding without its lock shows as a race within a few bursts;
// without it, both threads must still find every hook bound, the cache pair
// the platform's.

// Returns a module context to its load-time state: its next use binds again.
void ResetContext(smd::Context &ctx) {
    ctx.logWrite = nullptr;
    ctx.memAlloc = nullptr;
    ctx.memFree = nullptr;
    ctx.cacheAlloc = ctx.defaultAlloc;
    ctx.cacheFree = ctx.defaultFree;
    ctx.hooksResolved.word.store(0, std::memory_order_release);
    ctx.cacheResolved.word.store(0, std::memory_order_release);
}

constexpr unsigned kBindBursts = 1000;
smd::Context *const kContexts[] = {&smd::gClientRecv, &smd::gClientSend, &smd::gServerRecv, &smd::gServerSend};
std::atomic<unsigned> gStarted{0}, gBound{0};

// A tight spin: yielding at every turn would let the other thread finish its
// binding before this one looks.
void Await(const std::atomic<unsigned> &value, unsigned wanted) {
    for (unsigned spins = 1; value.load(std::memory_order_acquire) != wanted; ++spins) {
        if (spins % 4096 == 0) sched_yield();
    }
}

void *Binder(void *arg) {
    auto *unbound = static_cast<unsigned *>(arg);
    const bool first = *unbound != 0;
    *unbound = 0;
    for (unsigned burst = 1; burst <= kBindBursts; ++burst) {
        if (first) {
            Await(gBound, 2 * (burst - 1));
            for (smd::Context *c : kContexts) ResetContext(*c);
            gStarted.store(burst, std::memory_order_release);
        } else {
            Await(gStarted, burst);
        }
        smd::Context &ctx = *kContexts[burst % 4];
        smd::resolve_platform_hooks(ctx);
        smd::resolve_cache_hooks(ctx);
        *unbound += ctx.memAlloc == nullptr || ctx.memFree == nullptr || ctx.logWrite == nullptr ||
                    ctx.cacheAlloc == ctx.defaultAlloc;
        gBound.fetch_add(1, std::memory_order_release);
    }
    return nullptr;
}

TEST(Concurrency, BindingFromTwoThreadsAtOnce) {
    ZvdHost_SetUseFlag(1);  // the host OS layer is what the modules find
    pthread_t threads[2];
    unsigned unbound[2] = {1, 0};  // the first thread starts each burst
    for (unsigned i = 0; i < 2; ++i) pthread_create(&threads[i], nullptr, Binder, &unbound[i]);
    for (unsigned i = 0; i < 2; ++i) {
        pthread_join(threads[i], nullptr);
        EXPECT_EQ(unbound[i], 0u) << "thread " << i;
    }
}

}  // namespace
