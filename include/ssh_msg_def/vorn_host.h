/* In-process host implementation of the messaging framework, for running the
 * library on a workstation: libvorn_host.so defines the four VORN_ functions
 * that the library calls and delivers every sent message straight back to the
 * decoders registered for it, in the same process and on the calling thread.
 *
 * Registration: VORN_RegIDLFuncHook keeps one decode/release pair per message
 * identifier (registering an identifier again replaces its pair);
 * VORN_RegIDLResorceCleanFuncHook keeps the send modules' release functions.
 *
 * Delivery: VORN_SendMsg and VORN_SendToMsg first look up the pair of every
 * descriptor of the call. If one identifier is unknown, nothing of the call is
 * delivered and VORN_HOST_UNKNOWN_ID is returned: a call is delivered whole or
 * not at all, as the library sends a batch. Otherwise each descriptor, in
 * order, is decoded into zeroed record storage of VORN_HOST_RECORD_MAX bytes
 * aligned to 16, handed to the subscriber (if any) and released with the
 * registered release function; the call then returns VORN_HOST_OK. The decoder
 * returns the record size whether or not it accepted the buffer, so a rejected
 * buffer reaches the subscriber as the record the decoder left (all 0 and null
 * when it failed before filling anything); the library's log line says why.
 *
 * Verdict: the host tells the subscriber what it can know of the registered
 * decoder's outcome, in VornHost_Delivery.accepted. It checks the buffer with
 * the library's own decoder for the descriptor's identifier (compiled into
 * libvorn_host.so, run apart from the registered pair, whichever pair is
 * registered for it: it logs nothing and takes its memory from malloc, never
 * from the OS layer), and it counts the allocations that the host OS layer
 * (libzvd_host.so, looked up by name in each VORN_SendMsg or VORN_SendToMsg
 * call made with a subscriber set) refused on the calling thread while the
 * registered decoder ran, in VornHost_Delivery.refusedAllocs.
 * accepted is 1 when the buffer passes every acceptance rule of the library's
 * decoder for its identifier and refusedAllocs is 0, else 0: 0 also for an
 * identifier that the library does not define, and when the host's own check
 * could not get memory. The host sees the allocations of libzvd_host.so only.
 * When the record memory comes from elsewhere (a program's own ZVD_OsalMem
 * functions, or malloc when the library finds no OS layer or its use flag is
 * not 1), a failed allocation there is not seen: refusedAllocs stays 0, and
 * accepted = 1 then promises only that the bytes pass every rule, not that the
 * registered decoder filled the record. In every case a refused record may keep
 * a non-zero count with a NULL array: read list elements only through a
 * non-null array.
 *
 * Thread-safe: the tables are guarded by a mutex that is never held while a
 * decoder, release function, subscriber or clean function runs. */
#ifndef SSH_MSG_DEF_VORN_HOST_H
#define SSH_MSG_DEF_VORN_HOST_H

#include "ssh_msg_def/platform.h"

SSH_MSG_DEF_BEGIN_DECLS

/* Results of the VORN_ functions besides 0 (success). */
#define VORN_HOST_OK 0u
#define VORN_HOST_UNKNOWN_ID 1u /* a descriptor names an identifier without a registered pair */
#define VORN_HOST_INVALID 2u    /* null descriptors with a count, a null decode or clean function */
#define VORN_HOST_FULL 3u       /* no room for another identifier or clean function */

/* Record storage handed to a decoder; every record of the library fits. A
 * decoder that reports a larger record has already written past it: the host
 * then aborts the process with a message on stderr. */
#define VORN_HOST_RECORD_MAX 1024u
/* Capacity of the two tables. */
#define VORN_HOST_MAX_IDS 256u
#define VORN_HOST_MAX_CLEAN 32u

/* One delivered message. Valid during the subscriber call only. */
typedef struct VornHost_Delivery {
    uint32_t msgId;         /* identifier of the descriptor */
    uint32_t handle;        /* first argument of the VORN_ call */
    uint64_t target;        /* target of VORN_SendToMsg; 0 for VORN_SendMsg */
    uint32_t index;         /* position of the descriptor in its call */
    uint32_t count;         /* descriptors in the call */
    const uint8_t *buffer;  /* the encoding as sent */
    uint32_t length;        /* its length */
    const void *record;     /* the decoded record; released after the subscriber returns */
    uint32_t recordSize;    /* what the decoder returned */
    uint32_t accepted;      /* 1 when the buffer passes every rule and refusedAllocs is 0, else 0 (see Verdict) */
    uint32_t refusedAllocs; /* allocations libzvd_host refused on this thread while the registered decoder ran */
    const SshMsgDef_MsgDesc *descs; /* the call's descriptors, as passed */
} VornHost_Delivery;

typedef void (*VornHost_SubscriberFn)(const VornHost_Delivery *delivery, void *user);

/* Sets the one subscriber (NULL: deliveries are decoded and released unseen). */
void VornHost_Subscribe(VornHost_SubscriberFn fn, void *user);

/* Copies up to `max` registered identifiers, in order of first registration,
 * into `ids` (may be NULL when `max` is 0) and returns how many there are. */
uint32_t VornHost_Registered(uint32_t *ids, uint32_t max);

/* Number of resource clean functions registered. */
uint32_t VornHost_CleanCount(void);

/* Calls every registered resource clean function, in registration order. */
void VornHost_RunClean(void);

/* The framework's calls, for VornHost_Refuse. */
typedef enum VornHost_Call {
    VORN_HOST_SEND,           /* VORN_SendMsg and VORN_SendToMsg */
    VORN_HOST_REGISTER,       /* VORN_RegIDLFuncHook */
    VORN_HOST_REGISTER_CLEAN, /* VORN_RegIDLResorceCleanFuncHook */
    VORN_HOST_CALL_KINDS      /* the number of kinds above */
} VornHost_Call;

/* Makes the nth call of that kind from now (1: the next one) return `result`
 * without doing anything else, to see how a program copes with a refusal; the
 * calls before and after it work. nth 0 cancels a refusal not yet reached. */
void VornHost_Refuse(VornHost_Call call, uint64_t nth, uint32_t result);

/* Forgets every registration, the subscriber and any refusal to come. */
void VornHost_Reset(void);

SSH_MSG_DEF_END_DECLS

#endif
