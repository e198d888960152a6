/* The host messaging framework: a registry of decode/release pairs and clean
 * functions, and synchronous in-process delivery of sent descriptors, each
 * judged for its subscriber by the library's own decoder (judge.cc) and by the
 * allocations the host OS layer refused while the registered decoder ran. */
#include "ssh_msg_def/vorn_host.h"

#include <dlfcn.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "judge.h"

typedef struct Pair {
    uint32_t msgId;
    SshMsgDef_UnpackFn unpack;
    SshMsgDef_ReleaseFn release;
} Pair;

static pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;
static Pair g_pairs[VORN_HOST_MAX_IDS];
static uint32_t g_npairs;
static SshMsgDef_ResourceCleanFn g_clean[VORN_HOST_MAX_CLEAN];
static uint32_t g_nclean;
static VornHost_SubscriberFn g_subscriber;
static void *g_user;
static struct {
    uint64_t in; /* calls until the one to refuse, that one included; 0: none */
    uint32_t result;
} g_refusal[VORN_HOST_CALL_KINDS];

/* Whether this call of the kind is the one to refuse; *result is then what it returns. */
static int refuse_now(VornHost_Call call, uint32_t *result) {
    pthread_mutex_lock(&g_lock);
    const int now = g_refusal[call].in != 0 && --g_refusal[call].in == 0;
    *result = g_refusal[call].result;
    pthread_mutex_unlock(&g_lock);
    return now;
}

/* Under g_lock. */
static Pair *find(uint32_t msgId) {
    for (uint32_t i = 0; i < g_npairs; ++i) {
        if (g_pairs[i].msgId == msgId) return &g_pairs[i];
    }
    return NULL;
}

uint32_t VORN_RegIDLFuncHook(uint32_t msgId, SshMsgDef_UnpackFn unpack, SshMsgDef_ReleaseFn release) {
    if (unpack == NULL) return VORN_HOST_INVALID;
    uint32_t result;
    if (refuse_now(VORN_HOST_REGISTER, &result)) return result;
    result = VORN_HOST_OK;
    pthread_mutex_lock(&g_lock);
    Pair *p = find(msgId);
    if (p == NULL && g_npairs < VORN_HOST_MAX_IDS) p = &g_pairs[g_npairs++];
    if (p != NULL) {
        *p = (Pair){msgId, unpack, release};
    } else {
        result = VORN_HOST_FULL;
    }
    pthread_mutex_unlock(&g_lock);
    return result;
}

uint32_t VORN_RegIDLResorceCleanFuncHook(SshMsgDef_ResourceCleanFn clean) {
    if (clean == NULL) return VORN_HOST_INVALID;
    uint32_t result;
    if (refuse_now(VORN_HOST_REGISTER_CLEAN, &result)) return result;
    result = VORN_HOST_OK;
    pthread_mutex_lock(&g_lock);
    if (g_nclean < VORN_HOST_MAX_CLEAN) {
        g_clean[g_nclean++] = clean;
    } else {
        result = VORN_HOST_FULL;
    }
    pthread_mutex_unlock(&g_lock);
    return result;
}

/* The pair of an identifier, copied out so that it can be called
 * without the lock while another thread registers. */
static int lookup(uint32_t msgId, Pair *out) {
    pthread_mutex_lock(&g_lock);
    const Pair *p = find(msgId);
    if (p != NULL) *out = *p;
    pthread_mutex_unlock(&g_lock);
    return p != NULL;
}

/* The host OS layer's count of the calling thread's refused allocations, when
 * libzvd_host is in the process: looked up by name, since a program may run the
 * framework without it. */
typedef uint64_t (*RefusalsFn)(void);

static uint64_t refusals(RefusalsFn fn) { return fn != NULL ? fn() : 0; }

/* Every identifier is checked before anything is delivered, so an unknown one
 * leaves the whole call undelivered. */
static uint32_t deliver(uint32_t handle, const SshMsgDef_MsgDesc *descs, uint32_t count, uint64_t target) {
    uint32_t result;
    if (refuse_now(VORN_HOST_SEND, &result)) return result;
    if (count == 0) return VORN_HOST_OK;
    if (descs == NULL) return VORN_HOST_INVALID;
    Pair pair;
    for (const SshMsgDef_MsgDesc *d = descs; d != descs + count; ++d) {
        if (!lookup(d->msgId, &pair)) return VORN_HOST_UNKNOWN_ID;
    }
    pthread_mutex_lock(&g_lock);
    const VornHost_SubscriberFn subscriber = g_subscriber;
    void *const user = g_user;
    pthread_mutex_unlock(&g_lock);
    const RefusalsFn refusalsFn = subscriber != NULL ? (RefusalsFn)dlsym(RTLD_DEFAULT, "ZvdHost_ThreadRefusals") : NULL;
    for (uint32_t i = 0; i < count; ++i) {
        if (!lookup(descs[i].msgId, &pair)) return VORN_HOST_UNKNOWN_ID; /* only after a concurrent reset */
        _Alignas(16) unsigned char record[VORN_HOST_RECORD_MAX];
        memset(record, 0, sizeof record);
        const uint64_t refusedBefore = refusals(refusalsFn);
        const uint32_t size = pair.unpack(descs[i].buffer, descs[i].length, record);
        const uint32_t refusedAllocs = (uint32_t)(refusals(refusalsFn) - refusedBefore);
        if (size > sizeof record) {
            fprintf(stderr, "vorn_host: decoder of 0x%08X reported a %u-byte record (room for %u)\n",
                    (unsigned)descs[i].msgId, (unsigned)size, (unsigned)sizeof record);
            abort();
        }
        if (subscriber != NULL) {
            const uint32_t accepted =
                vorn_host_judge(descs[i].msgId, descs[i].buffer, descs[i].length) == 1 && refusedAllocs == 0;
            const VornHost_Delivery d = {descs[i].msgId,  handle, target, i,        count,         descs[i].buffer,
                                         descs[i].length, record, size,   accepted, refusedAllocs, descs};
            subscriber(&d, user);
        }
        if (pair.release != NULL) pair.release(record);
    }
    return VORN_HOST_OK;
}

uint32_t VORN_SendMsg(uint32_t handle, const SshMsgDef_MsgDesc *descs, uint32_t count) {
    return deliver(handle, descs, count, 0);
}

uint32_t VORN_SendToMsg(uint32_t handle, const SshMsgDef_MsgDesc *descs, uint32_t count, uint64_t target) {
    return deliver(handle, descs, count, target);
}

void VornHost_Subscribe(VornHost_SubscriberFn fn, void *user) {
    pthread_mutex_lock(&g_lock);
    g_subscriber = fn;
    g_user = user;
    pthread_mutex_unlock(&g_lock);
}

uint32_t VornHost_Registered(uint32_t *ids, uint32_t max) {
    pthread_mutex_lock(&g_lock);
    const uint32_t n = g_npairs;
    for (uint32_t i = 0; i < n && i < max; ++i) ids[i] = g_pairs[i].msgId;
    pthread_mutex_unlock(&g_lock);
    return n;
}

uint32_t VornHost_CleanCount(void) {
    pthread_mutex_lock(&g_lock);
    const uint32_t n = g_nclean;
    pthread_mutex_unlock(&g_lock);
    return n;
}

void VornHost_RunClean(void) {
    SshMsgDef_ResourceCleanFn clean[VORN_HOST_MAX_CLEAN];
    pthread_mutex_lock(&g_lock);
    const uint32_t n = g_nclean;
    memcpy(clean, g_clean, sizeof *clean * n);
    pthread_mutex_unlock(&g_lock);
    for (uint32_t i = 0; i < n; ++i) clean[i]();
}

void VornHost_Refuse(VornHost_Call call, uint64_t nth, uint32_t result) {
    if ((unsigned)call >= VORN_HOST_CALL_KINDS) return;
    pthread_mutex_lock(&g_lock);
    g_refusal[call].in = nth;
    g_refusal[call].result = result;
    pthread_mutex_unlock(&g_lock);
}

void VornHost_Reset(void) {
    pthread_mutex_lock(&g_lock);
    memset(g_refusal, 0, sizeof g_refusal);
    g_npairs = 0;
    g_nclean = 0;
    g_subscriber = NULL;
    g_user = NULL;
    pthread_mutex_unlock(&g_lock);
}
