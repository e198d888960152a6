// Concurrency: threads released together by a barrier make the first decode,
// release, pack and send of all four modules at the same instant, each thread
// starting at a different message (rejected decodes among them, so the receive
// modules bind their log hooks too), in a fresh process and again in bursts
// after the modules are returned to their load-time state; then they go on with
// work of their own. Every result must be right and every block back; under
// ThreadSanitizer (the tsan preset) nothing of it may race.
#include <pthread.h>
#include <sched.h>

#include <atomic>

#include "support.h"

namespace {

constexpr unsigned kThreads = 8, kBursts = 50, kRounds = 100, kBindBursts = 1000;
smd::Context *const kContexts[] = {&smd::gClientRecv, &smd::gClientSend, &smd::gServerRecv, &smd::gServerSend};
constexpr size_t kMessages = sizeof kSamples / sizeof kSamples[0];
pthread_barrier_t gStart, gDone;  // the threads and the test's own

// Every message once, from message `first` on: pack, decode and compare,
// release, send a pair, and decode a buffer every decoder rejects (root offset 0).
std::string Round(unsigned first) {
    std::string failures;
    const uint8_t rejected[12] = {};
    for (size_t i = 0; i < kMessages; ++i) {
        const Codec &c = *kSamples[(first + i) % kMessages].codec;
        const void *record = kSamples[(first + i) % kMessages].record;
        Bytes buf(4096), pair(2 * c.size);
        uint32_t len = static_cast<uint32_t>(buf.size());
        Storage out;
        bool ok = c.pack(record, buf.data(), &len) == 0;
        c.unpack(buf.data(), len, out.get());
        ok = ok && c.describe(out.get()) == c.describe(record);
        c.release(out.get());
        memcpy(pair.data(), record, c.size);
        memcpy(pair.data() + c.size, record, c.size);
        ok = ok && c.sendmsg(1, pair.data(), 2) == 0;
        c.unpack(rejected, sizeof rejected, out.get());
        if (!ok) failures += std::string(" ") + c.name;
    }
    return failures;
}

void *Worker(void *arg) {
    auto *failures = static_cast<std::string *>(arg);
    const unsigned first = static_cast<unsigned>(failures->size());  // the thread's number, passed as a length
    failures->clear();
    for (unsigned burst = 0; burst < kBursts; ++burst) {
        pthread_barrier_wait(&gStart);
        *failures += Round(first);
        pthread_barrier_wait(&gDone);
    }
    for (unsigned round = 0; round < kRounds; ++round) *failures += Round(round);
    return nullptr;
}

TEST(Concurrency, FirstUseFromManyThreadsAtOnce) {
    pthread_t threads[kThreads];
    std::string failures[kThreads];
    pthread_barrier_init(&gStart, nullptr, kThreads + 1);
    pthread_barrier_init(&gDone, nullptr, kThreads + 1);
    for (unsigned i = 0; i < kThreads; ++i) {
        failures[i].assign(i, ' ');
        pthread_create(&threads[i], nullptr, Worker, &failures[i]);
    }
    for (unsigned burst = 0; burst < kBursts; ++burst) {
        pthread_barrier_wait(&gStart);
        pthread_barrier_wait(&gDone);
        if (burst + 1 == kBursts) break;  // the threads go on working now
        // Every thread waits for the next burst, which is a first use again.
        for (smd::Context *c : kContexts) ResetContext(*c);
    }
    for (unsigned i = 0; i < kThreads; ++i) {
        pthread_join(threads[i], nullptr);
        EXPECT_EQ(failures[i], "") << "thread " << i;
    }
    const size_t rounds = kThreads * (kBursts + kRounds) * kMessages;
    EXPECT_EQ(rec_count_kind(REC_SEND), rounds);
    EXPECT_EQ(rec_count_kind(REC_LOG), rounds);
    EXPECT_EQ(rec_live_blocks(), 0);
    EXPECT_EQ(rec_free_errors(), 0);
}

// The binding itself, at the same instant in two threads. A barrier releases
// its threads one after the other, often further apart than a binding lasts,
// so these two spin instead: the first returns the modules to their load-time
// state and gives the start signal, which the second is already watching for.
// Under ThreadSanitizer a binding without its lock shows as a race within a few
// bursts; without it, both threads must still find every hook bound, the cache
// pair the platform's.
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
    pthread_t threads[2];
    unsigned unbound[2] = {1, 0};  // the first thread starts each burst
    for (unsigned i = 0; i < 2; ++i) pthread_create(&threads[i], nullptr, Binder, &unbound[i]);
    for (unsigned i = 0; i < 2; ++i) {
        pthread_join(threads[i], nullptr);
        EXPECT_EQ(unbound[i], 0u) << "thread " << i;
    }
}

}  // namespace
