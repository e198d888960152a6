/* The host OS abstraction layer: log lines to stderr (or a sink) and malloc
 * with a size header, counted, with allocations refused on request. */
#include "ssh_msg_def/zvd_host.h"

#include <pthread.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define HEADER 16 /* keeps blocks 16-byte aligned */

static pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;
static ZvdHost_Counters g_counters;
static ZvdHost_LogSinkFn g_sink;
static void *g_sinkUser;
static uint32_t g_useFlag = 1;
static uint64_t g_failIn; /* allocations until the one to refuse, that one included; 0: none */
static _Thread_local uint64_t t_refusals;

uint32_t ZVD_OsalLogWrite(const SshMsgDef_ModuleDesc *module, uint32_t level, uint32_t code, const char *file,
                          uint32_t line, const char *tag, const char *format, ...) {
    (void)file; /* always "" */
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    const size_t n = strlen(text);
    if (n > 0 && text[n - 1] == '\n') text[n - 1] = '\0';

    pthread_mutex_lock(&g_lock);
    g_counters.logLines++;
    const ZvdHost_LogSinkFn sink = g_sink;
    void *const user = g_sinkUser;
    pthread_mutex_unlock(&g_lock);
    if (sink != NULL) {
        const ZvdHost_LogLine l = {module, level, code, tag, line, text};
        sink(&l, user);
    } else {
        fprintf(stderr, "%s/%s code %u %s:%u %s\n", module ? module->name : "?", module ? module->subName : "?",
                (unsigned)code, tag ? tag : "?", (unsigned)line, text);
    }
    return 0;
}

static void *allocate(uint32_t size, uint64_t *counter) {
    pthread_mutex_lock(&g_lock);
    const int refuse = g_failIn != 0 && --g_failIn == 0;
    pthread_mutex_unlock(&g_lock);
    unsigned char *block = refuse ? NULL : malloc((size_t)size + HEADER);
    pthread_mutex_lock(&g_lock);
    if (block == NULL) {
        g_counters.failedAllocs++;
        t_refusals++;
    } else {
        memcpy(block, &size, sizeof size);
        (*counter)++;
        g_counters.liveBlocks++;
        g_counters.liveBytes += size;
        if (g_counters.liveBytes > g_counters.peakBytes) g_counters.peakBytes = g_counters.liveBytes;
    }
    pthread_mutex_unlock(&g_lock);
    return block == NULL ? NULL : block + HEADER;
}

void *ZVD_OsalMemAlloc(uint32_t size, uint32_t moduleId, const char *tag) {
    (void)moduleId;
    (void)tag;
    return allocate(size, &g_counters.memAllocs);
}

void *ZVD_OsalMemCacheAlloc(uint32_t size, uint32_t arg, const char *tag) {
    (void)arg;
    (void)tag;
    return allocate(size, &g_counters.cacheAllocs);
}

void ZVD_OsalMemFree(void *ptr, uint32_t arg, const char *tag) {
    (void)arg;
    (void)tag;
    if (ptr == NULL) return;
    unsigned char *block = (unsigned char *)ptr - HEADER;
    uint32_t size;
    memcpy(&size, block, sizeof size);
    pthread_mutex_lock(&g_lock);
    g_counters.frees++;
    g_counters.liveBlocks--;
    g_counters.liveBytes -= size;
    pthread_mutex_unlock(&g_lock);
    free(block);
}

uint32_t ZVD_OsalMemUseFlagGet(uint32_t arg) {
    (void)arg;
    pthread_mutex_lock(&g_lock);
    const uint32_t v = g_useFlag;
    pthread_mutex_unlock(&g_lock);
    return v;
}

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

uint64_t ZvdHost_ThreadRefusals(void) { return t_refusals; }
