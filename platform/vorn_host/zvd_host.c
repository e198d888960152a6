/* The host OS abstraction layer: log lines to stderr (or a sink) and malloc
 * with a size header and guard bytes, counted and checked, with allocations
 * refused on request and every call traced on request. */
#include "ssh_msg_def/zvd_host.h"

#include <pthread.h>
#include <stdarg.h>
#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define HEADER 16 /* size and argument; keeps blocks 16-byte aligned */
#define GUARD 16
#define GUARD_BYTE 0xA5

static pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;
static ZvdHost_Counters g_counters;
static ZvdHost_LogSinkFn g_sink;
static void *g_sinkUser;
static ZvdHost_TraceFn g_trace;
static void *g_traceUser;
static uint32_t g_useFlag = 1;
static uint64_t g_failIn; /* allocations until the one to refuse, that one included; 0: none */
static _Thread_local uint64_t t_refusals;

/* The live blocks: an open-addressed table of pointers, under g_lock. A block
 * the table has no room for is refused, as when the host's memory runs out; a
 * layer built with ZVD_HOST_LIVE_MAX has at most that many slots, to show it. */
#ifndef ZVD_HOST_LIVE_MAX
#define ZVD_HOST_LIVE_MAX SIZE_MAX
#endif
static void **g_live;
static size_t g_liveCap, g_liveCount; /* capacity: a power of 2, or 0 */

/* Blocks are HEADER-aligned: their addresses over HEADER are spread enough. */
static size_t home(const void *p) { return (size_t)((uintptr_t)p / HEADER) % g_liveCap; }
static size_t step(size_t at) { return (at + 1) & (g_liveCap - 1); }

/* Puts p in the first free slot from its home on. */
static void place(void *p) {
    size_t at = home(p);
    while (g_live[at]) at = step(at);
    g_live[at] = p;
}

/* Adds p, the table kept at most half full; false when it cannot grow. */
static bool live_add(void *p) {
    if (g_liveCount >= g_liveCap / 2) {
        const size_t oldCap = g_liveCap, cap = oldCap ? oldCap << 1 : 64;
        void **old = g_live, **grown = cap <= ZVD_HOST_LIVE_MAX ? calloc(cap, sizeof *grown) : NULL;
        if (grown == NULL) return false;
        g_live = grown;
        g_liveCap = cap;
        for (size_t i = 0; i < oldCap; ++i) {
            if (old[i]) place(old[i]);
        }
        free(old);
    }
    place(p);
    g_liveCount++;
    return true;
}

/* Takes p out of the table; false when it is not there. */
__attribute__((unused)) static bool live_remove(const void *p) {
    if (g_liveCap == 0) return false;
    size_t at = home(p);
    while (g_live[at] != p) {
        if (g_live[at] == NULL) return false;
        at = step(at);
    }
    g_live[at] = NULL;
    g_liveCount--;
    /* Entries after the hole that could not sit at their home move into it. */
    for (size_t later = step(at); g_live[later]; later = step(later)) {
        const size_t want = home(g_live[later]);
        if (((later - want) & (g_liveCap - 1)) >= ((later - at) & (g_liveCap - 1))) {
            g_live[at] = g_live[later];
            g_live[later] = NULL;
            at = later;
        }
    }
    return true;
}

/* Hands the call to the trace; the members a kind does not use are 0. */
static void trace(ZvdHost_Call call) {
    pthread_mutex_lock(&g_lock);
    const ZvdHost_TraceFn fn = g_trace;
    void *const user = g_traceUser;
    pthread_mutex_unlock(&g_lock);
    if (fn != NULL) fn(&call, user);
}

#ifndef ZVD_HOST_WITHOUT_LOG
uint32_t ZVD_OsalLogWrite(const SshMsgDef_ModuleDesc *module, uint32_t level, uint32_t code, const char *file,
                          uint32_t line, const char *tag, const char *format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);

    pthread_mutex_lock(&g_lock);
    g_counters.logLines++;
    const ZvdHost_LogSinkFn sink = g_sink;
    void *const user = g_sinkUser;
    pthread_mutex_unlock(&g_lock);
    if (sink != NULL) {
        const ZvdHost_LogLine l = {module, level, code, tag, line, text, file};
        sink(&l, user);
    } else {
        fprintf(stderr, "%s/%s code %u %s:%u %s\n", module ? module->name : "?", module ? module->subName : "?",
                (unsigned)code, tag ? tag : "?", (unsigned)line, text);
    }
    return 0;
}
#endif

static void *allocate(ZvdHost_CallKind kind, uint32_t size, uint32_t arg, const char *tag) {
    pthread_mutex_lock(&g_lock);
    const int refuse = g_failIn != 0 && --g_failIn == 0;
    pthread_mutex_unlock(&g_lock);
    unsigned char *block = refuse ? NULL : malloc((size_t)size + HEADER + GUARD);
    pthread_mutex_lock(&g_lock);
    if (block != NULL && !live_add(block + HEADER)) {
        free(block);
        block = NULL;
    }
    if (block == NULL) {
        g_counters.failedAllocs++;
        t_refusals++;
    } else {
        memcpy(block, &size, sizeof size);
        memcpy(block + sizeof size, &arg, sizeof arg);
        memset(block + HEADER + size, GUARD_BYTE, GUARD);
        (*(kind == ZVD_HOST_MEM_ALLOC ? &g_counters.memAllocs : &g_counters.cacheAllocs))++;
        g_counters.liveBlocks++;
        g_counters.liveBytes += size;
        if (g_counters.liveBytes > g_counters.peakBytes) g_counters.peakBytes = g_counters.liveBytes;
    }
    pthread_mutex_unlock(&g_lock);
    void *const p = block == NULL ? NULL : block + HEADER;
    trace((ZvdHost_Call){.kind = kind, .size = size, .arg = arg, .tag = tag, .block = p});
    return p;
}

#ifndef ZVD_HOST_WITHOUT_MEM_ALLOC
void *ZVD_OsalMemAlloc(uint32_t size, uint32_t moduleId, const char *tag) {
    return allocate(ZVD_HOST_MEM_ALLOC, size, moduleId, tag);
}
#endif

#ifndef ZVD_HOST_WITHOUT_CACHE_ALLOC
void *ZVD_OsalMemCacheAlloc(uint32_t size, uint32_t arg, const char *tag) {
    return allocate(ZVD_HOST_CACHE_ALLOC, size, arg, tag);
}
#endif

#ifndef ZVD_HOST_WITHOUT_MEM_FREE
void ZVD_OsalMemFree(void *ptr, uint32_t arg, const char *tag) {
    int bad = 0;
    if (ptr != NULL) {
        unsigned char *block = (unsigned char *)ptr - HEADER;
        pthread_mutex_lock(&g_lock);
        bad = !live_remove(ptr);
        if (!bad) {
            uint32_t size, given;
            memcpy(&size, block, sizeof size);
            memcpy(&given, block + sizeof size, sizeof given);
            for (int i = 0; i < GUARD; ++i) bad |= block[HEADER + size + i] != GUARD_BYTE;
            bad |= given != arg;
            g_counters.frees++;
            g_counters.liveBlocks--;
            g_counters.liveBytes -= size;
            free(block);
        }
        g_counters.badFrees += (uint64_t)bad;
        pthread_mutex_unlock(&g_lock);
    }
    trace((ZvdHost_Call){.kind = ZVD_HOST_FREE, .arg = arg, .tag = tag, .block = ptr, .badFree = bad});
}
#endif

#ifndef ZVD_HOST_WITHOUT_USE_FLAG
uint32_t ZVD_OsalMemUseFlagGet(uint32_t arg) {
    pthread_mutex_lock(&g_lock);
    const uint32_t v = g_useFlag;
    pthread_mutex_unlock(&g_lock);
    trace((ZvdHost_Call){.kind = ZVD_HOST_USE_FLAG, .size = v, .arg = arg});
    return v;
}
#endif

void ZvdHost_GetCounters(ZvdHost_Counters *out) {
    pthread_mutex_lock(&g_lock);
    *out = g_counters;
    pthread_mutex_unlock(&g_lock);
}

void ZvdHost_ResetCounters(void) {
    pthread_mutex_lock(&g_lock);
    memset(&g_counters, 0, sizeof g_counters);
    pthread_mutex_unlock(&g_lock);
}

void ZvdHost_SetLogSink(ZvdHost_LogSinkFn fn, void *user) {
    pthread_mutex_lock(&g_lock);
    g_sink = fn;
    g_sinkUser = user;
    pthread_mutex_unlock(&g_lock);
}

void ZvdHost_SetTrace(ZvdHost_TraceFn fn, void *user) {
    pthread_mutex_lock(&g_lock);
    g_trace = fn;
    g_traceUser = user;
    pthread_mutex_unlock(&g_lock);
}

void ZvdHost_SetUseFlag(uint32_t value) {
    pthread_mutex_lock(&g_lock);
    g_useFlag = value;
    pthread_mutex_unlock(&g_lock);
}

void ZvdHost_FailAllocation(uint64_t nth) {
    pthread_mutex_lock(&g_lock);
    g_failIn = nth;
    pthread_mutex_unlock(&g_lock);
}

#ifndef ZVD_HOST_WITHOUT_REFUSALS
uint64_t ZvdHost_ThreadRefusals(void) { return t_refusals; }
#endif
