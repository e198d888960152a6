// Registration of a receive module's decode/release pairs with the framework.
#ifndef SSH_MSG_DEF_TRANSPORT_REGISTER_H
#define SSH_MSG_DEF_TRANSPORT_REGISTER_H

#include <stddef.h>
#include <stdint.h>

#include "ssh_msg_def/msg_common.h"

namespace ssh_msg_def::internal {

struct Registration {
    uint32_t msgId;
    SshMsgDef_UnpackFn unpack;
    SshMsgDef_ReleaseFn release;
};

// Offers each pair to VORN_RegIDLFuncHook in order; stops at and returns the
// first non-zero result, else 0. Nothing is undone.
uint32_t RegisterDecoders(const Registration *pairs, size_t count);

}  // namespace ssh_msg_def::internal

// A message list row as the pair of its exported `__unpack` and
// `_free__unpacked`, in the shapes the framework calls them with.
#define SSH_MSG_DEF_REGISTRATION(Ns, Msg, id, ...)                                                           \
    ::ssh_msg_def::internal::Registration{(id), reinterpret_cast<SshMsgDef_UnpackFn>(&Ns##_##Msg##__unpack), \
                                          reinterpret_cast<SshMsgDef_ReleaseFn>(&Ns##_##Msg##_free__unpacked)},

// A receive module: the exported receive functions of each message of LIST and
// `<prefix>_msg_def_recv_init`, which registers them in the list's order.
#define SSH_MSG_DEF_RECV_MODULE(prefix, LIST)                                                    \
    LIST(SSH_MSG_DEF_RECV_OPS)                                                                   \
    extern "C" uint32_t prefix##_msg_def_recv_init(void) {                                       \
        const ::ssh_msg_def::internal::Registration pairs[] = {LIST(SSH_MSG_DEF_REGISTRATION)};  \
        return ::ssh_msg_def::internal::RegisterDecoders(pairs, sizeof pairs / sizeof pairs[0]); \
    }

#endif
