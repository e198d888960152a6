// The messages as the code beside the library meets them at run time: one row
// per message of the lists, in the order the receive modules register them.
// The sshmsg tool, the case runner, the vectors, the fuzz checks and the
// benchmarks all take their messages from here; no other table of messages
// exists, and every name comes from the row.
//
// A row holds the message's schema and names, its exported functions, each
// called through its own type, and beside them the library's own code
// instantiated for the tools: the verdict of the receive module's decoder, the
// decoder run with an observer, the encoder's measure, the batch's fit check
// and the fixed image. (The host framework's verdict takes the schemas'
// observed decode from internal.h instead: the framework must not depend on
// the library's exported functions.)
#ifndef SSH_MSG_DEF_INTERNAL_MESSAGES_H
#define SSH_MSG_DEF_INTERNAL_MESSAGES_H

#include <stdint.h>

#include <span>
#include <string_view>

#include "internal.h"
#include "ssh_msg_def/ssh_msg_def.h"

namespace ssh_msg_def::internal {

// The exported functions of message S with their own types (Api<&kMsg>).
template <const Schema *S>
struct Api;

#define SSH_MSG_DEF_TYPED_API(Ns, Msg, ...)                           \
    template <>                                                       \
    struct Api<&k##Msg> {                                             \
        using Record = Ns##_##Msg;                                    \
        static constexpr auto unpack = &Ns##_##Msg##__unpack;         \
        static constexpr auto release = &Ns##_##Msg##_free__unpacked; \
        static constexpr auto pack = &Ns##_##Msg##__pack;             \
        static constexpr auto sendsingle = &Ns##_##Msg##__sendsingle; \
        static constexpr auto sendbatch = &Ns##_##Msg##__sendbatch;   \
        static constexpr auto sendmsg = &Ns##_##Msg##__sendmsg;       \
        static constexpr auto sendtomsg = &Ns##_##Msg##__sendtomsg;   \
    };
SSH_MSG_DEF_MESSAGES(SSH_MSG_DEF_TYPED_API)
#undef SSH_MSG_DEF_TYPED_API

struct Message {
    const Schema &schema;
    const char *qualified;  // "SshsMsgDef.PortList": the name its identifier hashes
    const char *name;       // "PortList"
    // The exported functions of libssh_msg_def.so, each called through its
    // own type, with the record types erased.
    uint32_t (*unpack)(const uint8_t *buffer, uint32_t len, void *record);
    void (*release)(void *record);
    uint32_t (*pack)(const void *record, uint8_t *buffer, uint32_t *length);
    uint32_t (*sendsingle)(uint32_t handle, const void *record, uint64_t reserved, uint64_t target);
    uint32_t (*sendbatch)(uint32_t handle, const void *records, uint32_t count, uint64_t target);
    uint32_t (*sendmsg)(uint32_t handle, const void *records, uint32_t count);
    uint32_t (*sendtomsg)(uint32_t handle, const void *records, uint32_t count, uint64_t target);
    // The library's decoder on its receive module's context: whether it
    // accepts the buffer (`unpack` returns the record size either way).
    bool (*decode)(const uint8_t *buffer, uint32_t len, void *record);
    // The same decoder on context `ctx`, telling `observer` what it reads.
    bool (*observe)(Context &ctx, const uint8_t *buffer, uint32_t len, void *record, Observer &observer);
    // The compact encoding's size, as `__pack` and the sends measure it; 0
    // when it does not fit 32 bits.
    uint32_t (*measure)(const void *record);
    // The batch's encoding area as a batch send fills it: how many of the
    // records fit (`count` when all do), the bytes they take in *used.
    uint32_t (*fill)(const void *records, uint32_t count, uint32_t *used);
    // The fixed image the send path writes, for a message sent as one (else
    // null), and its size.
    void (*image)(const void *record, uint8_t *out);
    uint32_t imageSize;

    uint32_t id() const { return schema.msgId; }
};

std::span<const Message> Messages();

// The row of a schema.
const Message &MessageOf(const Schema &s);

// By identifier; null when no message has it.
const Message *FindMessage(uint32_t id);
// By record type ("SshsMsgDef_PortList"), qualified name ("SshsMsgDef.PortList"),
// message name ("PortList", in any case) or identifier ("0x71670B77" or decimal).
const Message *FindMessage(std::string_view key);

// The decoder run with an observer, as the tools run it: on the silent context
// (internal.h), the record given back before it returns. True when it accepts
// the buffer.
bool Inspect(const Message &m, const uint8_t *buffer, uint32_t len, Observer &observer);

}  // namespace ssh_msg_def::internal

#endif
