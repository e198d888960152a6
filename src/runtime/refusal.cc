// The refusals that have a log line (refusal.h), each logged here, out of the
// inlined code, from a source line that users see in the log (the case files
// pin them). Each log call is one line, so that every compiler gives it one.
#include "refusal.h"

namespace ssh_msg_def::internal {
namespace {

// How a parameter check names a pointer it was given.
const char *Name(const void *given) { return given != nullptr ? "nonNull" : "null"; }

}  // namespace

void LogWriterRefusal(Context &ctx, const char *tag, const void *buf, uint32_t avail, const void *record) {
    const Report r = kWriterParamsReport;
    SSH_MSG_DEF_LOG(ctx, r.code, tag, r.format, Name(buf), avail, Name(record));
}

bool RefuseParams(Context &ctx, const char *tag, const void *buf, uint32_t len, const void *record) {
    const Report r = kParamsReport;
    SSH_MSG_DEF_LOG(ctx, r.code, tag, r.format, Name(buf), static_cast<int32_t>(len), Name(record));
    return false;
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

}  // namespace ssh_msg_def::internal
