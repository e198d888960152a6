#include "register.h"

#include "ssh_msg_def/platform.h"

namespace ssh_msg_def::internal {

uint32_t RegisterDecoders(const Registration *pairs, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const uint32_t result = VORN_RegIDLFuncHook(pairs[i].msgId, pairs[i].unpack, pairs[i].release);
        if (result != 0) return result;
    }
    return 0;
}

}  // namespace ssh_msg_def::internal
