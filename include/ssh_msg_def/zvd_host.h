/* Host OS abstraction layer for workstations: libzvd_host.so defines the five
 * ZVD_Osal functions that the library looks up by name at first use. A program
 * that links or loads it (dlopen with RTLD_GLOBAL, before the library's first
 * log line, decode or send) gets the library's log lines on stderr and counted
 * memory; a program without it runs on malloc/free with logging off.
 *
 * Log lines are written as one line each:
 *   ZIRKO/ZIRKO_VANTOME_SERIAL code 22 SshsMsgDef_PortList_unpack_non_root:LINE [ZIRKO]:...
 * (module name and sub-name, error code, function tag, the library's source
 * line, text), or
 * handed to a sink set with ZvdHost_SetLogSink instead.
 *
 * Memory: every block comes from malloc with a 16-byte header holding its size
 * and 16 guard bytes after its end, and is kept in a table of live blocks, so
 * the counters below know the live bytes and catch a bad free: a pointer the
 * layer never gave or already took back, a second argument other than the
 * allocation's, or a block written past its end (into its guard bytes). ZVD_OsalMemUseFlagGet returns 1 (record memory
 * from ZVD_OsalMemCacheAlloc) unless ZvdHost_SetUseFlag chose otherwise before the library's first decode.
 * ZvdHost_FailAllocation makes an allocation fail on purpose, to see how a program copes; ZvdHost_SetTrace shows every
 * call. Thread-safe.
 *
 * Built with ZVD_HOST_WITHOUT_LOG, _MEM_ALLOC, _MEM_FREE, _USE_FLAG or
 * _CACHE_ALLOC defined, the layer leaves that function out: a platform that
 * lacks it, for trying how a program runs there. With _REFUSALS it leaves out
 * ZvdHost_ThreadRefusals: its allocations are then, to the host framework,
 * those of an allocator of the program's own. */
#ifndef SSH_MSG_DEF_ZVD_HOST_H
#define SSH_MSG_DEF_ZVD_HOST_H

#include "ssh_msg_def/platform.h"

SSH_MSG_DEF_BEGIN_DECLS

typedef struct ZvdHost_Counters {
    uint64_t memAllocs;    /* ZVD_OsalMemAlloc calls that returned a block (send buffers) */
    uint64_t cacheAllocs;  /* ZVD_OsalMemCacheAlloc calls that returned a block (record memory) */
    uint64_t frees;        /* ZVD_OsalMemFree calls with a block */
    uint64_t failedAllocs; /* allocations that returned NULL */
    uint64_t liveBlocks;   /* allocated and not yet freed */
    uint64_t liveBytes;
    uint64_t peakBytes;
    uint64_t logLines;
    uint64_t badFrees; /* frees of an unknown block, with another argument, or of a block overrun */
} ZvdHost_Counters;

/* One log call of the library, its format already expanded. */
typedef struct ZvdHost_LogLine {
    const SshMsgDef_ModuleDesc *module;
    uint32_t level;
    uint32_t code; /* 22: invalid parameter or range, 12: out of memory */
    const char *tag;
    uint32_t line;
    const char *text;
    const char *file; /* as passed: the library passes "" */
} ZvdHost_LogLine;

typedef void (*ZvdHost_LogSinkFn)(const ZvdHost_LogLine *line, void *user);

/* One memory call of the library, as a trace sees it once it is done. */
typedef enum ZvdHost_CallKind {
    ZVD_HOST_MEM_ALLOC,   /* ZVD_OsalMemAlloc */
    ZVD_HOST_CACHE_ALLOC, /* ZVD_OsalMemCacheAlloc */
    ZVD_HOST_FREE,        /* ZVD_OsalMemFree */
    ZVD_HOST_USE_FLAG     /* ZVD_OsalMemUseFlagGet */
} ZvdHost_CallKind;

typedef struct ZvdHost_Call {
    ZvdHost_CallKind kind;
    uint32_t size;   /* allocations: the size asked for; use flag: the value returned */
    uint32_t arg;    /* the second argument (the use flag's only one) */
    const char *tag; /* the function tag (NULL for the use flag) */
    void *block;     /* the block returned (NULL when refused) or freed */
    int badFree;     /* a free counted in badFrees */
} ZvdHost_Call;

typedef void (*ZvdHost_TraceFn)(const ZvdHost_Call *call, void *user);

void ZvdHost_GetCounters(ZvdHost_Counters *out);
/* Sets the counters back to 0 (live blocks too: call it when none are live). */
void ZvdHost_ResetCounters(void);
/* Sends log lines to `fn` instead of stderr; NULL restores stderr. */
void ZvdHost_SetLogSink(ZvdHost_LogSinkFn fn, void *user);
/* Hands every memory call to `fn` after it is done, on the calling thread;
 * NULL stops the trace. */
void ZvdHost_SetTrace(ZvdHost_TraceFn fn, void *user);
/* What ZVD_OsalMemUseFlagGet returns from now on (1 by default). */
void ZvdHost_SetUseFlag(uint32_t value);
/* Makes the nth allocation from now return NULL (1: the next one), counting
 * ZVD_OsalMemAlloc and ZVD_OsalMemCacheAlloc calls of every thread together;
 * the allocations before and after it are served. 0 cancels a failure not yet
 * reached. The refused allocation counts in failedAllocs. */
void ZvdHost_FailAllocation(uint64_t nth);
/* Allocations that returned NULL on the calling thread since it started,
 * whether ZvdHost_FailAllocation or malloc refused them. */
uint64_t ZvdHost_ThreadRefusals(void);

SSH_MSG_DEF_END_DECLS

#endif
