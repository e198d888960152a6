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
    SshMsgDef_FreeFn release;
};

// Offers each pair to VORN_RegIDLFuncHook in order; stops at and returns the
// first non-zero result, else 0. Nothing is undone.
uint32_t RegisterDecoders(const Registration *pairs, size_t count);

// The pair of a record type's exported `__unpack` and `_free__unpacked`, in
// the shapes the framework calls them with.
#define SSH_MSG_DEF_REGISTRATION(Rec, id)                             \
    ::ssh_msg_def::internal::Registration {                           \
        (id), reinterpret_cast<SshMsgDef_UnpackFn>(&Rec##__unpack),   \
            reinterpret_cast<SshMsgDef_FreeFn>(&Rec##_free__unpacked) \
    }

}  // namespace ssh_msg_def::internal

#endif
