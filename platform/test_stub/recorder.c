/* Recording stand-in: event log, guarded allocations and the framework side. */
#include "recorder.h"

#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define GUARD 0xA5
#define GUARD_BYTES 16

typedef struct Block {
    void *ptr;
    uint32_t size, arg;
    const char *tag;
    RecKind kind;
} Block;

static pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;
static RecEvent *g_events;
static size_t g_count, g_cap;
static Block *g_blocks;
static size_t g_nblocks, g_blockCap;
static long g_allocSeq, g_failAt = -1, g_freeErrors;
static uint32_t g_sendResult, g_cleanResult, g_useFlag = 1;
static uint32_t g_regResults[16];
static size_t g_regCount, g_regNext;

static RecEvent *push(RecKind kind) {
    if (g_count == g_cap) {
        g_cap = g_cap ? 2 * g_cap : 256;
        g_events = (RecEvent *)realloc(g_events, g_cap * sizeof *g_events);
        if (g_events == NULL) abort();
    }
    RecEvent *e = &g_events[g_count++];
    memset(e, 0, sizeof *e);
    e->kind = kind;
    return e;
}

void rec_reset(void) {
    pthread_mutex_lock(&g_lock);
    for (size_t i = 0; i < g_count; ++i) {
        free(g_events[i].descs);
        free(g_events[i].data);
    }
    g_count = 0;
    g_allocSeq = 0;
    g_failAt = -1;
    g_freeErrors = 0;
    g_sendResult = g_cleanResult = 0;
    g_useFlag = 1;
    g_regCount = g_regNext = 0;
    pthread_mutex_unlock(&g_lock);
}

size_t rec_count(void) { return g_count; }
const RecEvent *rec_event(size_t i) { return i < g_count ? &g_events[i] : NULL; }

size_t rec_count_kind(RecKind kind) {
    size_t n = 0;
    for (size_t i = 0; i < g_count; ++i) n += g_events[i].kind == kind;
    return n;
}

const RecEvent *rec_find(RecKind kind, size_t n) {
    for (size_t i = 0; i < g_count; ++i) {
        if (g_events[i].kind == kind && n-- == 0) return &g_events[i];
    }
    return NULL;
}

const uint8_t *rec_sent_bytes(const RecEvent *send, uint32_t i) {
    size_t at = 0;
    for (uint32_t k = 0; k < i; ++k) at += send->descs[k].length;
    return send->data + at;
}

void rec_fail_alloc_at(long k) { g_failAt = k; }
void rec_set_send_result(uint32_t result) { g_sendResult = result; }
void rec_set_clean_result(uint32_t result) { g_cleanResult = result; }
void rec_set_use_flag(uint32_t value) { g_useFlag = value; }

void rec_set_reg_results(const uint32_t *results, size_t n) {
    g_regCount = n < 16 ? n : 16;
    if (g_regCount > 0) memcpy(g_regResults, results, g_regCount * sizeof *results); /* results may be NULL */
    g_regNext = 0;
}

long rec_live_blocks(void) { return (long)g_nblocks; }
long rec_free_errors(void) { return g_freeErrors; }

uint32_t rec_log_write(const SshMsgDef_ModuleDesc *module, uint32_t level, uint32_t code, const char *file,
                       uint32_t line, const char *tag, const char *format, va_list args) {
    pthread_mutex_lock(&g_lock);
    RecEvent *e = push(REC_LOG);
    e->ptr2 = module;
    e->level = level;
    e->a = code;
    e->b = line;
    e->tag = tag;
    snprintf(e->file, sizeof e->file, "%s", file);
    vsnprintf(e->text, sizeof e->text, format, args);
    pthread_mutex_unlock(&g_lock);
    return 0;
}

void *rec_alloc(RecKind kind, uint32_t size, uint32_t arg, const char *tag) {
    pthread_mutex_lock(&g_lock);
    RecEvent *e = push(kind);
    e->a = size;
    e->b = arg;
    e->tag = tag;
    unsigned char *p = NULL;
    if (g_allocSeq++ != g_failAt) {
        p = (unsigned char *)malloc((size_t)size + GUARD_BYTES);
        if (p == NULL) abort();
        memset(p + size, GUARD, GUARD_BYTES);
        if (g_nblocks == g_blockCap) {
            g_blockCap = g_blockCap ? 2 * g_blockCap : 64;
            g_blocks = (Block *)realloc(g_blocks, g_blockCap * sizeof *g_blocks);
            if (g_blocks == NULL) abort();
        }
        g_blocks[g_nblocks++] = (Block){p, size, arg, tag, kind};
    }
    e->ptr = p;
    pthread_mutex_unlock(&g_lock);
    return p;
}

/* Send buffers go back with the tag they were taken with. Record memory is taken
 * by a decoder ("<Ns>_<Msg>_unpack" or "..._unpack_non_root") and given back by
 * that message's release routine ("<Ns>_<Msg>_free_unpacked"). */
static int tags_pair(const Block *b, const char *tag) {
    if (b->kind != REC_CACHE_ALLOC) return strcmp(b->tag, tag) == 0;
    const char *u = strstr(b->tag, "_unpack");
    if (u == NULL) return 0;
    const size_t n = (size_t)(u - b->tag);
    return strncmp(b->tag, tag, n) == 0 && strcmp(tag + n, "_free_unpacked") == 0;
}

void rec_free(void *ptr, uint32_t arg, const char *tag) {
    pthread_mutex_lock(&g_lock);
    RecEvent *e = push(REC_FREE);
    e->ptr = ptr;
    e->b = arg;
    e->tag = tag;
    if (ptr != NULL) {
        size_t i = 0;
        while (i < g_nblocks && g_blocks[i].ptr != ptr) ++i;
        if (i == g_nblocks) {
            ++g_freeErrors; /* never allocated here, or freed before */
        } else {
            const Block b = g_blocks[i];
            g_blocks[i] = g_blocks[--g_nblocks];
            if (b.arg != arg || !tags_pair(&b, tag)) ++g_freeErrors;
            for (int k = 0; k < GUARD_BYTES; ++k) g_freeErrors += ((unsigned char *)ptr)[b.size + k] != GUARD;
            free(ptr);
        }
    }
    pthread_mutex_unlock(&g_lock);
}

uint32_t rec_use_flag(uint32_t arg) {
    pthread_mutex_lock(&g_lock);
    push(REC_USE_FLAG)->a = arg;
    const uint32_t v = g_useFlag;
    pthread_mutex_unlock(&g_lock);
    return v;
}

static uint32_t record_send(uint32_t handle, const SshMsgDef_MsgDesc *descs, uint32_t count, uint64_t target,
                            int sendTo) {
    pthread_mutex_lock(&g_lock);
    RecEvent *e = push(REC_SEND);
    e->a = handle;
    e->b = count;
    e->ptr = descs;
    e->target = target;
    e->sendTo = sendTo;
    size_t total = 0;
    for (uint32_t i = 0; i < count; ++i) total += descs[i].length;
    e->descs = (SshMsgDef_MsgDesc *)malloc(count * sizeof *descs + 1);
    e->data = (uint8_t *)malloc(total + 1);
    if (e->descs == NULL || e->data == NULL) abort();
    if (count > 0) memcpy(e->descs, descs, count * sizeof *descs);
    total = 0;
    for (uint32_t i = 0; i < count; ++i) {
        memcpy(e->data + total, descs[i].buffer, descs[i].length);
        total += descs[i].length;
    }
    const uint32_t result = g_sendResult;
    pthread_mutex_unlock(&g_lock);
    return result;
}

uint32_t VORN_SendMsg(uint32_t handle, const SshMsgDef_MsgDesc *descs, uint32_t count) {
    return record_send(handle, descs, count, 0, 0);
}

uint32_t VORN_SendToMsg(uint32_t handle, const SshMsgDef_MsgDesc *descs, uint32_t count, uint64_t target) {
    return record_send(handle, descs, count, target, 1);
}

uint32_t VORN_RegIDLFuncHook(uint32_t msgId, SshMsgDef_UnpackFn unpack, SshMsgDef_ReleaseFn release) {
    pthread_mutex_lock(&g_lock);
    RecEvent *e = push(REC_REG);
    e->a = msgId;
    e->ptr = (const void *)unpack;
    e->ptr2 = (const void *)release;
    const uint32_t result = g_regNext < g_regCount ? g_regResults[g_regNext] : 0;
    ++g_regNext;
    pthread_mutex_unlock(&g_lock);
    return result;
}

uint32_t VORN_RegIDLResorceCleanFuncHook(SshMsgDef_ResourceCleanFn clean) {
    pthread_mutex_lock(&g_lock);
    push(REC_REG_CLEAN)->ptr = (const void *)clean;
    const uint32_t result = g_cleanResult;
    pthread_mutex_unlock(&g_lock);
    return result;
}
