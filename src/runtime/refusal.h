// Every way an operation of the library refuses, and what it reports: the
// decoders, the root writer, `__pack` and the sends. A refusal ends the
// operation; it is logged only where its report has a line, with that line's
// code and format, under the tag of the decoder or writer at work.
#ifndef SSH_MSG_DEF_RUNTIME_REFUSAL_H
#define SSH_MSG_DEF_RUNTIME_REFUSAL_H

#include <stdint.h>

#include "context.h"

namespace ssh_msg_def::internal {

// What was wrong. A decoder's observer is told the rule with a position in
// the buffer and a value, as given here; the parameters have no position (0).
enum class Rule : uint8_t {
    kParams,        // value: the length; the buffer or record missing, or the length below 4 or above 2^31 - 1
    kTableOffset,   // pos, value: the table offset, outside 4 to len - 4
    kVtableOffset,  // pos: the table; value: its vtable offset, outside 4 to len - 4
    kVtableLength,  // pos: the vtable; value: its length, running past the end
    kPastEnd,       // pos: where the bytes wanted start; value: how many
    kWraps,         // pos: a forward offset; value: the offset, whose target wraps past 2^32
    kCount,         // pos: a list's count; value: the count, above 0x3FFFFFFF
    kNoMemory,      // pos: what was to be copied in; value: the size of the allocation that failed
};

// The log line of a refusal: its code and printf format, or none.
struct Report {
    uint32_t code;
    const char *format;  // null: the refusal is not logged
};

inline constexpr char kParamsFormat[] = "[ZIRKO]:Param invalid(%s, %d, %s)";
inline constexpr char kMallocFormat[] = "[ZIRKO]:Malloc unpack data unsuccess, size(%u)";
inline constexpr char kMallocWideFormat[] = "[ZIRKO]:Malloc unpack data unsuccess,                size(%u)";

// The table of the decoders, by rule. A decoder logs its parameter check, its
// table checks and a failed allocation; a field whose offsets break a rule
// ends the decode without a line. The lines take, in order: which of buffer
// and record were given, with the length; the table offset and the buffer's
// length; the vtable offset and the length less 4; the vtable length and the
// bytes from the vtable to the end; the size that failed.
inline constexpr Report kDecoderReports[] = {
    {kCodeInvalid, kParamsFormat},                                        // kParams
    {kCodeInvalid, "[ZIRKO]:Table offset(%u) is out of range(4 - %u)"},   // kTableOffset
    {kCodeInvalid, "[ZIRKO]:Vtable offset(%u) is out of range(4 - %u)"},  // kVtableOffset
    {kCodeInvalid, "[ZIRKO]:Vtable Len(%u) is out of range(0 - %u)"},     // kVtableLength
    {},                                                                   // kPastEnd
    {},                                                                   // kWraps
    {},                                                                   // kCount
    {kCodeNoMemory, kMallocFormat},                                       // kNoMemory
};

// A decoder's report: the table's, except that a failed allocation of a nested
// decoder whose holder releases its record has the wide line.
constexpr Report DecoderReport(bool wideMallocLine, Rule rule) {
    return wideMallocLine && rule == Rule::kNoMemory ? Report{kCodeNoMemory, kMallocWideFormat}
                                                     : kDecoderReports[static_cast<uint8_t>(rule)];
}

// The root writer behind `__pack` and the sends reports its parameter check
// only, its room unsigned. `__pack` and the sends themselves report nothing:
// every refusal of theirs returns SSH_MSG_DEF_ERROR.
inline constexpr Report kWriterParamsReport = {kCodeInvalid, "[ZIRKO]:Param invalid(%s, %u, %s)"};

inline constexpr Report kParamsReport = kDecoderReports[static_cast<uint8_t>(Rule::kParams)];

// Whether a decoder's refusal by this rule is logged.
constexpr bool Logged(Rule rule) { return kDecoderReports[static_cast<uint8_t>(rule)].format != nullptr; }

// The log lines of refusals (refusal.cc): a root decoder's parameter check
// (returning false, for the decoder to return: one copy serves every decoder),
// a decoder's other refusals that have a line, and the root writer's
// parameter check.
[[gnu::cold]] bool RefuseParams(Context &ctx, const char *tag, const void *buf, uint32_t len, const void *record);
[[gnu::cold]] void LogRefusal(Context &ctx, const char *tag, bool wideMallocLine, Rule rule, uint32_t pos,
                              uint32_t value, uint32_t len);
[[gnu::cold]] void LogWriterRefusal(Context &ctx, const char *tag, const void *buf, uint32_t avail, const void *record);

}  // namespace ssh_msg_def::internal

#endif
