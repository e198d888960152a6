/* Types shared by every message of the library and by the messaging framework.
 *
 * A message travels as an encoded buffer plus a message descriptor naming its
 * identifier and length. The framework calls the decode/release pair it was
 * given for an identifier; these typedefs are the shapes it calls them with. */
#ifndef SSH_MSG_DEF_MSG_COMMON_H
#define SSH_MSG_DEF_MSG_COMMON_H

#include <stddef.h>
#include <stdint.h>

#if defined(SSH_MSG_DEF_BUILD)
#define SSH_MSG_DEF_API __attribute__((visibility("default")))
#else
#define SSH_MSG_DEF_API
#endif

#ifdef __cplusplus
#define SSH_MSG_DEF_BEGIN_DECLS extern "C" {
#define SSH_MSG_DEF_END_DECLS }
#define SSH_MSG_DEF_STATIC_ASSERT static_assert
#else
#define SSH_MSG_DEF_BEGIN_DECLS
#define SSH_MSG_DEF_END_DECLS
#define SSH_MSG_DEF_STATIC_ASSERT _Static_assert
#endif

SSH_MSG_DEF_BEGIN_DECLS

/* One encoded message handed to the framework: 16 bytes, laid out as the
 * framework expects. Descriptors of a batch lie back to back. */
typedef struct SshMsgDef_MsgDesc {
    const uint8_t *buffer; /* first byte of the encoding */
    uint32_t msgId;        /* message identifier (FNV-1a of "Namespace.Message") */
    uint32_t length;       /* encoding length in bytes */
} SshMsgDef_MsgDesc;

/* Decode entry as the framework calls it: (buffer, len, record storage) ->
 * record size. Every `__unpack` of the library has this shape with a typed
 * record pointer. */
typedef uint32_t (*SshMsgDef_UnpackFn)(const uint8_t *buffer, uint32_t len, void *record);
/* Release entry as the framework calls it: frees what the record owns. */
typedef void (*SshMsgDef_ReleaseFn)(void *record);
/* Send-side resource release entry registered by each send module. */
typedef void (*SshMsgDef_ResourceCleanFn)(void);

/* Result of `__pack` and of refused or locally failed send operations. */
#define SSH_MSG_DEF_ERROR 0xFFFFFFFFu

/* The encoding area of a variable-size batch: the encodings of one
 * `__sendbatch` (or `__sendmsg` / `__sendtomsg` with a count above 1) lie back
 * to back in its first 65536 bytes, and a batch that does not fit is refused.
 * ForwardPort, sent as fixed images, has no such limit. */
#define SSH_MSG_DEF_BATCH_AREA 65536u

/* The seven operations of a message `Ns_Msg` with record type `Ns_Msg`:
 *
 * uint32_t Ns_Msg__unpack(const uint8_t *buffer, uint32_t len, Ns_Msg *record);
 *   Decodes `len` bytes into `*record` and returns sizeof(Ns_Msg) whatever
 *   happened: the result does not tell an accepted buffer from a rejected one
 *   (the library says why it rejected one through the OS layer's log writer).
 *   Safe on any bytes. Accepted, the record owns its strings and arrays until
 *   it is released. Rejected, it owns nothing and is in one of three states:
 *   - untouched, as the caller left it: a null buffer or record, or a `len`
 *     below 4 or above 0x7FFFFFFF; and, for FileTrans, FileDir, ForwardPort
 *     and TcpForwordMessage, a root table offset, vtable offset or vtable
 *     length out of range;
 *   - all zero: those three root checks failing for ConnectPara,
 *     SftpciMessage and PortList;
 *   - released, after any later failure (a field, nested table, list element
 *     or allocation): every string and array pointer null, the scalars and
 *     counts read before the failure kept, the rest zero. A list may keep its
 *     count with a null array.
 *   So zero a record before decoding into it (`Ns_Msg r = {0};`): then every
 *   state is safe to read and to release. Never read list elements through a
 *   null array, whatever the count. A record that still owns memory must be
 *   released before it is decoded into again.
 * void Ns_Msg_free__unpacked(Ns_Msg *record);
 *   Releases what the record owns and nulls those pointers; scalars and counts
 *   stay. Null is ignored; releasing twice is harmless. Releasing a record the
 *   library never wrote (an untouched one) frees whatever its pointers hold.
 * uint32_t Ns_Msg__pack(const Ns_Msg *record, uint8_t *buffer, uint32_t *length);
 *   Writes the compact encoding. `*length` is the room in `buffer` on entry and
 *   the bytes written on success. Returns 0, or SSH_MSG_DEF_ERROR with nothing
 *   written and `*length` unchanged (a null record, buffer or length, or an
 *   encoding larger than the room). Allocates nothing and never aborts. The
 *   record itself must not lie in `buffer`; a string of it may: the encoding
 *   then has its usual size and layout and 0 is returned, but a string the
 *   writer overwrites before copying it holds unspecified bytes there.
 * uint32_t Ns_Msg__sendsingle(uint32_t handle, const Ns_Msg *record, uint64_t reserved, uint64_t target);
 * uint32_t Ns_Msg__sendbatch(uint32_t handle, const Ns_Msg *records, uint32_t count, uint64_t target);
 * uint32_t Ns_Msg__sendmsg(uint32_t handle, const Ns_Msg *records, uint32_t count);
 * uint32_t Ns_Msg__sendtomsg(uint32_t handle, const Ns_Msg *records, uint32_t count, uint64_t target);
 *   Encode and hand the buffers to the framework in one call (VORN_SendToMsg
 *   when `target` is not 0, else VORN_SendMsg). Return the framework's result
 *   unchanged, or SSH_MSG_DEF_ERROR when refused before the call (null record,
 *   count 0 for sendmsg/sendtomsg, allocation failure, a batch whose encodings
 *   exceed SSH_MSG_DEF_BATCH_AREA). A batch is sent whole or not at all.
 *   Buffers are released before the call returns. Thread-safe for distinct
 *   records. `__sendmsg` and `__sendtomsg` send one record as `__sendsingle`
 *   does and several as `__sendbatch` does.
 *   `__sendbatch` with a count of 0 differs by how the message is sent:
 *   - ForwardPort (fixed images): null `records` is refused before anything
 *     is allocated; otherwise a 0-byte block is asked for, and the framework
 *     is called with a count of 0 when the allocator returns a block (else
 *     SSH_MSG_DEF_ERROR);
 *   - every other message: `records` is not looked at (null included); the
 *     batch block is allocated and the framework is called with a count of 0
 *     (SSH_MSG_DEF_ERROR if the allocation fails). */
#define SSH_MSG_DEF_DECLARE_OPS(Rec)                                                                                 \
    SSH_MSG_DEF_API uint32_t Rec##__unpack(const uint8_t *buffer, uint32_t len, Rec *record);                        \
    SSH_MSG_DEF_API void Rec##_free__unpacked(Rec *record);                                                          \
    SSH_MSG_DEF_API uint32_t Rec##__pack(const Rec *record, uint8_t *buffer, uint32_t *length);                      \
    SSH_MSG_DEF_API uint32_t Rec##__sendsingle(uint32_t handle, const Rec *record, uint64_t reserved,                \
                                               uint64_t target);                                                     \
    SSH_MSG_DEF_API uint32_t Rec##__sendbatch(uint32_t handle, const Rec *records, uint32_t count, uint64_t target); \
    SSH_MSG_DEF_API uint32_t Rec##__sendmsg(uint32_t handle, const Rec *records, uint32_t count);                    \
    SSH_MSG_DEF_API uint32_t Rec##__sendtomsg(uint32_t handle, const Rec *records, uint32_t count, uint64_t target)

SSH_MSG_DEF_STATIC_ASSERT(sizeof(SshMsgDef_MsgDesc) == 16, "message descriptor is 16 bytes");
SSH_MSG_DEF_STATIC_ASSERT(offsetof(SshMsgDef_MsgDesc, msgId) == 8, "identifier at byte 8");
SSH_MSG_DEF_STATIC_ASSERT(offsetof(SshMsgDef_MsgDesc, length) == 12, "length at byte 12");

SSH_MSG_DEF_END_DECLS

#endif
