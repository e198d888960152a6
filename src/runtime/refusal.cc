// The refusals that have a log line (refusal.h), each logged here, out of the
// inlined code, from a source line that users see in the log (the case files
// pin them). Each log call is one line, so that every compiler gives it one.
#include "decode.h"

namespace ssh_msg_def::internal {
namespace {

const char *BufferName(uint32_t given) { return GivenName(given, kBufferGiven); }
const char *RecordName(uint32_t given) { return GivenName(given, kRecordGiven); }

}  // namespace

void LogWriterRefusal(Context &ctx, const char *tag, uint32_t given, uint32_t avail) {
    const Report r = kWriterParamsReport;
    SSH_MSG_DEF_LOG(ctx, r.code, tag, r.format, BufferName(given), avail, RecordName(given));
}

void LogParamsRefusal(Context &ctx, const char *tag, uint32_t given, uint32_t len) {
    const Report r = kParamsReport;
    SSH_MSG_DEF_LOG(ctx, r.code, tag, r.format, BufferName(given), static_cast<int32_t>(len), RecordName(given));
}

void LogRefusal(Context &ctx, const char *tag, bool wideMallocLine, Rule rule, uint32_t pos, uint32_t value,
                uint32_t len) {
    // Each line with its rule's arguments (refusal.h).
    if (const Report r = DecoderReport(wideMallocLine, rule); rule == Rule::kTableOffset) {
        SSH_MSG_DEF_LOG(ctx, r.code, tag, r.format, value, len);
    } else if (rule == Rule::kVtableOffset) {
        SSH_MSG_DEF_LOG(ctx, r.code, tag, r.format, value, len - 4);
    } else if (rule == Rule::kVtableLength) {
        SSH_MSG_DEF_LOG(ctx, r.code, tag, r.format, value, len - pos);
    } else {
        SSH_MSG_DEF_LOG(ctx, r.code, tag, r.format, value);
    }
}

template bool RefuseParams<void>(Context &, const char *, const uint8_t *, uint32_t, const void *, void *);

}  // namespace ssh_msg_def::internal
