// Non-template part of the encoder: the root writer's parameter line, with the
// code and format of its report (refusal.h).
#include "encode.h"

namespace ssh_msg_def::internal {
void LogWriterRefusal(Context &ctx, const char *tag, uint32_t given, uint32_t avail) {
    SSH_MSG_DEF_LOG(ctx, kWriterParamsReport.code, tag, kWriterParamsReport.format, GivenName(given, kBufferGiven),
                    avail, GivenName(given, kRecordGiven));
}

}  // namespace ssh_msg_def::internal
