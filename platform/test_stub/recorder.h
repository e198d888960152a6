/* Recording stand-in of the messaging framework and the OS abstraction layer,
 * for tests. It is never linked into the library: a test program links it and
 * exports its symbols, so the library's undefined VORN_ functions and its dlsym
 * look-ups of ZVD_Osal functions land here.
 *
 * Every call is recorded as an event. Allocations carry guard bytes and are
 * tracked until freed, so overruns, double frees, frees with the wrong second
 * argument or tag, and leaks are all counted. Thread-safe. */
#ifndef SSH_MSG_DEF_TEST_STUB_RECORDER_H
#define SSH_MSG_DEF_TEST_STUB_RECORDER_H

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

#include "ssh_msg_def/platform.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef enum RecKind {
    REC_LOG,         /* ZVD_OsalLogWrite */
    REC_MEM_ALLOC,   /* ZVD_OsalMemAlloc */
    REC_CACHE_ALLOC, /* ZVD_OsalMemCacheAlloc */
    REC_FREE,        /* ZVD_OsalMemFree */
    REC_USE_FLAG,    /* ZVD_OsalMemUseFlagGet */
    REC_SEND,        /* VORN_SendMsg / VORN_SendToMsg */
    REC_REG,         /* VORN_RegIDLFuncHook */
    REC_REG_CLEAN,   /* VORN_RegIDLResorceCleanFuncHook */
} RecKind;

typedef struct RecEvent {
    RecKind kind;
    uint32_t a;               /* LOG code; ALLOC size; FREE arg; SEND handle; REG id */
    uint32_t b;               /* LOG line; ALLOC arg; SEND count */
    const char *tag;          /* function tag as passed */
    const void *ptr;          /* ALLOC result; FREE pointer; SEND descriptors; REG unpack; REG_CLEAN function */
    const void *ptr2;         /* LOG module descriptor; REG release function */
    uint64_t target;          /* SEND target */
    int sendTo;               /* SEND: 1 when VORN_SendToMsg was called */
    uint32_t level;           /* LOG level */
    char file[8];             /* LOG file name */
    char text[512];           /* LOG formatted line */
    SshMsgDef_MsgDesc *descs; /* SEND: copy of the descriptors (addresses as passed) */
    uint8_t *data;            /* SEND: copy of every buffer, back to back */
} RecEvent;

void rec_reset(void);
size_t rec_count(void);
const RecEvent *rec_event(size_t i);
size_t rec_count_kind(RecKind kind);
/* The n-th event of a kind, or NULL. */
const RecEvent *rec_find(RecKind kind, size_t n);
/* Bytes of descriptor i of a SEND event. */
const uint8_t *rec_sent_bytes(const RecEvent *send, uint32_t i);

/* Allocation number k (0-based, counting platform and cache allocations in
 * call order) returns NULL; -1 disables. */
void rec_fail_alloc_at(long k);
void rec_set_send_result(uint32_t result);
/* Results of successive VORN_RegIDLFuncHook calls (then 0). */
void rec_set_reg_results(const uint32_t *results, size_t n);
void rec_set_clean_result(uint32_t result);
void rec_set_use_flag(uint32_t value);

long rec_live_blocks(void); /* allocated through the stub and not yet freed */
long rec_free_errors(void); /* unknown pointer, second free, arg/tag mismatch, overrun */

/* The recording behind each ZVD_Osal function; zvd.c forwards to these. */
uint32_t rec_log_write(const SshMsgDef_ModuleDesc *module, uint32_t level, uint32_t code, const char *file,
                       uint32_t line, const char *tag, const char *format, va_list args);
void *rec_alloc(RecKind kind, uint32_t size, uint32_t arg, const char *tag);
void rec_free(void *ptr, uint32_t arg, const char *tag);
uint32_t rec_use_flag(uint32_t arg);

#ifdef __cplusplus
}
#endif

#endif
