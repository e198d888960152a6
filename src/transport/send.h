// Send operations, generic over the schema: a single send in one exactly-sized
// buffer, a batch in one block (a 65536-byte encoding area followed by the
// descriptors), the count dispatch of `__sendmsg` / `__sendtomsg`, and the fixed
// image path of all-scalar messages (no allocation for a single send, images
// then descriptors for a batch). Every buffer comes from the send module's
// memory hook and goes back through it before the operation returns, on every
// path. Nothing here logs.
#ifndef SSH_MSG_DEF_TRANSPORT_SEND_H
#define SSH_MSG_DEF_TRANSPORT_SEND_H

#include <stdint.h>

#include <type_traits>

#include "../runtime/encode.h"
#include "ssh_msg_def/msg_common.h"

namespace ssh_msg_def::internal {

inline constexpr uint32_t kBatchArea = SSH_MSG_DEF_BATCH_AREA;

// VORN_SendToMsg when target is not 0, else VORN_SendMsg; the result unchanged.
uint32_t CallFramework(uint32_t handle, const SshMsgDef_MsgDesc *descs, uint32_t count, uint64_t target);

// memAlloc / memFree of a send module, with moduleId and the operation's tag.
void *SendAlloc(Context &ctx, uint32_t size, const char *tag);
void SendFree(Context &ctx, void *block, const char *tag);

template <const Schema *S>
const uint8_t *RecordAt(const void *records, uint32_t i) {
    return static_cast<const uint8_t *>(records) + static_cast<size_t>(i) * S->recordSize;
}

// The single send and the batch are each one copy, out of line, that both the
// exported operation and the count dispatch call.
template <const Schema *S>
[[gnu::noinline]] uint32_t SendSingle(uint32_t handle, const void *record, uint64_t target) {
    if constexpr (S->fixedImage) {
        if (record == nullptr) return SSH_MSG_DEF_ERROR;
        uint8_t image[kImageSize<S>];
        WriteImage<S>(image, record, S->send->byteOrder != 0);
        const SshMsgDef_MsgDesc desc{image, S->msgId, kImageSize<S>};
        return CallFramework(handle, &desc, 1, target);
    } else {
        if (record == nullptr) return SSH_MSG_DEF_ERROR;
        StringLengths<S> lengths;
        const uint32_t size = MeasureRoot<S>(record, lengths.data());
        if (size == 0) return SSH_MSG_DEF_ERROR;
        auto *buf = static_cast<uint8_t *>(SendAlloc(*S->send, size, S->tags.sendSingle));
        if (buf == nullptr) return SSH_MSG_DEF_ERROR;
        (void)WriteMeasured<S>(buf, size, record, lengths.data());
        const SshMsgDef_MsgDesc desc{buf, S->msgId, size};
        const uint32_t result = CallFramework(handle, &desc, 1, target);
        SendFree(*S->send, buf, S->tags.sendSingle);
        return result;
    }
}

// Fixed path: count images of kImageSize bytes, then count descriptors.
template <const Schema *S>
uint32_t SendImages(uint32_t handle, const void *records, uint32_t count, uint64_t target) {
    constexpr uint32_t kStride = kImageSize<S> + sizeof(SshMsgDef_MsgDesc);
    if (records == nullptr || count > UINT32_MAX / kStride) return SSH_MSG_DEF_ERROR;
    const uint32_t images = kImageSize<S> * count;
    auto *block = static_cast<uint8_t *>(SendAlloc(*S->send, kStride * count, S->tags.sendBatch));
    if (block == nullptr) return SSH_MSG_DEF_ERROR;
    auto *descs = reinterpret_cast<SshMsgDef_MsgDesc *>(block + images);
    // The fixed image alone still follows the module's flag as it stands (the
    // image is that small), read once; each loop writes the images with its
    // value fixed.
    auto write = [&](auto swap) SSH_MSG_DEF_INLINE_LAMBDA {
        for (uint32_t i = 0; i < count; ++i) {
            uint8_t *image = block + static_cast<size_t>(i) * kImageSize<S>;
            WriteImage<S>(image, RecordAt<S>(records, i), decltype(swap)::value);
            descs[i] = {image, S->msgId, kImageSize<S>};
        }
    };
    if (S->send->byteOrder != 0) {
        write(std::true_type{});
    } else {
        write(std::false_type{});
    }
    const uint32_t result = CallFramework(handle, descs, count, target);
    SendFree(*S->send, block, S->tags.sendBatch);
    return result;
}

// The encoding area of a batch: the encodings of records[0, count) back to back
// from `area` on, each measured against the room the ones before it left (a
// full area leaves none), each with its descriptor. Returns how many fit:
// `count` when all do, else the index of the first that does not (a null
// array fails at 0); *used: the bytes of those that fit.
template <const Schema *S>
[[SSH_MSG_DEF_INLINE]] inline uint32_t FillArea(uint8_t *area, const void *records, uint32_t count,
                                                SshMsgDef_MsgDesc *descs, uint32_t *used) {
    *used = 0;
    for (uint32_t i = 0; i < count; ++i) {
        // A null array fails at record 0, so RecordAt never offsets a null pointer.
        const uint8_t *record = RecordAt<S>(records, i);
        StringLengths<S> lengths;
        if (record == nullptr || !EncodingFits<S>(record, kBatchArea - *used, lengths.data())) return i;
        // The size is what the writer then writes.
        const uint32_t size = WriteMeasured<S>(area + *used, kBatchArea - *used, record, lengths.data());
        descs[i] = {area + *used, S->msgId, size};
        *used += size;
    }
    return count;
}

// Variable path: all encodings in the first 65536 bytes of one block (FillArea),
// descriptors behind them. Sent whole or not at all.
template <const Schema *S>
[[gnu::noinline]] uint32_t SendBatch(uint32_t handle, const void *records, uint32_t count, uint64_t target) {
    if constexpr (S->fixedImage) {
        return SendImages<S>(handle, records, count, target);
    } else {
        // The block size must fit 32 bits; such a batch could never fit the area anyway.
        if (count > (UINT32_MAX - kBatchArea) / sizeof(SshMsgDef_MsgDesc)) return SSH_MSG_DEF_ERROR;
        auto *block = static_cast<uint8_t *>(SendAlloc(
            *S->send, kBatchArea + static_cast<uint32_t>(sizeof(SshMsgDef_MsgDesc)) * count, S->tags.sendBatch));
        if (block == nullptr) return SSH_MSG_DEF_ERROR;
        auto *descs = reinterpret_cast<SshMsgDef_MsgDesc *>(block + kBatchArea);
        uint32_t used;
        const uint32_t result = FillArea<S>(block, records, count, descs, &used) == count
                                    ? CallFramework(handle, descs, count, target)
                                    : SSH_MSG_DEF_ERROR;
        SendFree(*S->send, block, S->tags.sendBatch);
        return result;
    }
}

// `__sendmsg` (target 0) and `__sendtomsg`: refuse an empty array, send one
// record alone and several as a batch.
template <const Schema *S>
uint32_t SendMsg(uint32_t handle, const void *records, uint32_t count, uint64_t target) {
    if (count == 0) return SSH_MSG_DEF_ERROR;
    if (count == 1) return SendSingle<S>(handle, records, target);
    return SendBatch<S>(handle, records, count, target);
}

}  // namespace ssh_msg_def::internal

// The five exported send-side functions of a message list row.
#define SSH_MSG_DEF_SEND_OPS(Ns, Msg, ...)                                                                           \
    extern "C" uint32_t Ns##_##Msg##__pack(const Ns##_##Msg *record, uint8_t *buffer, uint32_t *length) {            \
        return ::ssh_msg_def::internal::Pack<&::ssh_msg_def::internal::k##Msg>(record, buffer, length);              \
    }                                                                                                                \
    extern "C" uint32_t Ns##_##Msg##__sendsingle(uint32_t handle, const Ns##_##Msg *record, uint64_t,                \
                                                 uint64_t target) {                                                  \
        return ::ssh_msg_def::internal::SendSingle<&::ssh_msg_def::internal::k##Msg>(handle, record, target);        \
    }                                                                                                                \
    extern "C" uint32_t Ns##_##Msg##__sendbatch(uint32_t handle, const Ns##_##Msg *records, uint32_t count,          \
                                                uint64_t target) {                                                   \
        return ::ssh_msg_def::internal::SendBatch<&::ssh_msg_def::internal::k##Msg>(handle, records, count, target); \
    }                                                                                                                \
    extern "C" uint32_t Ns##_##Msg##__sendmsg(uint32_t handle, const Ns##_##Msg *records, uint32_t count) {          \
        return ::ssh_msg_def::internal::SendMsg<&::ssh_msg_def::internal::k##Msg>(handle, records, count, 0);        \
    }                                                                                                                \
    extern "C" uint32_t Ns##_##Msg##__sendtomsg(uint32_t handle, const Ns##_##Msg *records, uint32_t count,          \
                                                uint64_t target) {                                                   \
        return ::ssh_msg_def::internal::SendMsg<&::ssh_msg_def::internal::k##Msg>(handle, records, count, target);   \
    }

// A send module: the exported send-side functions of each message of LIST,
// `<prefix>_msg_def__send_resource_clean`, which has nothing to release (every
// send gives its buffer back before it returns), and `<prefix>_msg_def_send_init`,
// which registers it.
#define SSH_MSG_DEF_SEND_MODULE(prefix, LIST)                                           \
    LIST(SSH_MSG_DEF_SEND_OPS)                                                          \
    extern "C" void prefix##_msg_def__send_resource_clean(void) {}                      \
    extern "C" uint32_t prefix##_msg_def_send_init(void) {                              \
        return VORN_RegIDLResorceCleanFuncHook(&prefix##_msg_def__send_resource_clean); \
    }

#endif
