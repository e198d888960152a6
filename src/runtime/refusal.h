// Every way an operation of the library refuses, and what it reports: the
// decoders, the root writer, `__pack` and the sends. A refusal ends the
// operation; it is logged only where its report has a line, with that line's
// code and format, under the tag of the decoder or writer at work.
#ifndef SSH_MSG_DEF_RUNTIME_REFUSAL_H
#define SSH_MSG_DEF_RUNTIME_REFUSAL_H

#include <stdint.h>

#include "context.h"

namespace ssh_msg_def::internal {

// What was wrong. A decoder's observer is told the rule with a position and a
// value, as given here.
enum class Rule : uint8_t {
    kParams,        // a missing buffer or record, or a length (value) below the least or above 2^31 - 1;
                    // pos: which of the two were given (kBufferGiven, kRecordGiven)
    kTableOffset,   // value: the table offset, outside 4 to len - 4
    kVtableOffset,  // value: the vtable offset, outside 4 to len - 4
    kVtableLength,  // value: a vtable length running past the end; pos: the vtable
    kPastEnd,       // value: the bytes wanted at pos, past the end
    kWraps,         // value: a forward offset whose target wraps past 2^32
    kCount,         // value: a list count above 0x3FFFFFFF
    kNoMemory,      // value: the size of the allocation that failed
};

inline constexpr uint32_t kBufferGiven = 1;
inline constexpr uint32_t kRecordGiven = 2;

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
// ends the decode without a line.
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

// A decoder's report: the table's, except that a plain nested decoder's failed
// allocation has the wide line.
constexpr Report DecoderReport(bool plain, Rule rule) {
    return plain && rule == Rule::kNoMemory ? Report{kCodeNoMemory, kMallocWideFormat}
                                            : kDecoderReports[static_cast<uint8_t>(rule)];
}

// The root writer behind `__pack` and the sends reports its parameter check
// only, its room unsigned. `__pack` and the sends themselves report nothing:
// every refusal of theirs returns SSH_MSG_DEF_ERROR.
inline constexpr Report kWriterParamsReport = {kCodeInvalid, "[ZIRKO]:Param invalid(%s, %u, %s)"};

// Whether a decoder's refusal by this rule is logged.
constexpr bool Logged(Rule rule) { return kDecoderReports[static_cast<uint8_t>(rule)].format != nullptr; }

// The given pointers of a parameter check, as its report's pos.
inline uint32_t Given(const void *buf, const void *record) {
    return (buf != nullptr ? kBufferGiven : 0) | (record != nullptr ? kRecordGiven : 0);
}
inline const char *GivenName(uint32_t given, uint32_t which) { return (given & which) != 0 ? "nonNull" : "null"; }

// Writes the log line of a refusal whose report has one: the decoders' rules
// (decode.cc) and the root writer's parameter check (encode.cc), each from
// the source line of its own kind.
[[gnu::cold]] void LogRefusal(Context &ctx, const char *tag, bool plain, Rule rule, uint32_t pos, uint32_t value,
                              uint32_t len);
[[gnu::cold]] void LogWriterRefusal(Context &ctx, const char *tag, uint32_t given, uint32_t avail);

}  // namespace ssh_msg_def::internal

#endif
