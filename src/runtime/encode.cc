// Non-template part of the encoder: the root writer's parameter log.
#include "encode.h"

namespace ssh_msg_def::internal {

void LogPackParams(Context &ctx, const char *tag, const void *buf, uint32_t avail, const void *record) {
    SSH_MSG_DEF_LOG(ctx, kCodeInvalid, tag, "[ZIRKO]:Param invalid(%s, %u, %s)", NullName(buf), avail,
                    NullName(record));
}

}  // namespace ssh_msg_def::internal
