// Every way an operation of the library refuses, and what it reports: one table
// for the decoders, the root writer, `__pack` and the sends. A refusal ends the
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

// Who refuses, as far as it decides what is reported.
enum class Refuser : uint8_t {
    kDecoder,       // a root decoder, or a guarded nested one
    kPlainDecoder,  // a plain nested decoder: a failed allocation has the wide line
    kRootWriter,    // the writer behind `__pack` and the sends: its parameter check
    kQuiet,         // `__pack` and the sends: they return SSH_MSG_DEF_ERROR and log nothing
};

// The log line of a refusal: its code and printf format, or none.
struct Report {
    uint32_t code;
    const char *format;  // null: the refusal is not logged
};

inline constexpr char kParamsFormat[] = "[ZIRKO]:Param invalid(%s, %d, %s)";
inline constexpr char kWriterParamsFormat[] = "[ZIRKO]:Param invalid(%s, %u, %s)";
inline constexpr char kMallocFormat[] = "[ZIRKO]:Malloc unpack data unsuccess, size(%u)";
inline constexpr char kMallocWideFormat[] = "[ZIRKO]:Malloc unpack data unsuccess,                size(%u)";

// The table. A decoder logs its parameter check, its table checks and a failed
// allocation, by rule; a field whose offsets break a rule ends the decode
// without a line. The root writer logs its parameter check only.
inline constexpr Report kDecoderReports[] = {
    {kCodeInvalid, kParamsFormat},                                        // kParams
    {kCodeInvalid, "[ZIRKO]:Table offset(%u) is out of range(4 - %u)"},   // kTableOffset
    {kCodeInvalid, "[ZIRKO]:Vtable offset(%u) is out of range(4 - %u)"},  // kVtableOffset
    {kCodeInvalid, "[ZIRKO]:Vtable Len(%u) is out of range(0 - %u)"},     // kVtableLength
    {0, nullptr},                                                         // kPastEnd
    {0, nullptr},                                                         // kWraps
    {0, nullptr},                                                         // kCount
    {kCodeNoMemory, kMallocFormat},                                       // kNoMemory
};

constexpr Report ReportOf(Refuser who, Rule rule) {
    if (who == Refuser::kQuiet) return {0, nullptr};
    if (who == Refuser::kRootWriter) {
        return rule == Rule::kParams ? Report{kCodeInvalid, kWriterParamsFormat} : Report{0, nullptr};
    }
    if (who == Refuser::kPlainDecoder && rule == Rule::kNoMemory) return {kCodeNoMemory, kMallocWideFormat};
    return kDecoderReports[static_cast<uint8_t>(rule)];
}

// Whether a decoder's refusal by this rule is logged.
constexpr bool Logged(Rule rule) { return ReportOf(Refuser::kDecoder, rule).format != nullptr; }

// The given pointers of a parameter check, as its report's pos.
inline uint32_t Given(const void *buf, const void *record) {
    return (buf != nullptr ? kBufferGiven : 0) | (record != nullptr ? kRecordGiven : 0);
}
inline const char *GivenName(uint32_t given, uint32_t which) { return (given & which) != 0 ? "nonNull" : "null"; }

// Writes the log line of a refusal whose report has one: the decoders' rules
// (decode.cc) and the root writer's parameter check (encode.cc), each from
// the source line of its own kind.
[[gnu::cold]] void LogRefusal(Context &ctx, const char *tag, Refuser who, Rule rule, uint32_t pos, uint32_t value,
                              uint32_t len);
[[gnu::cold]] void LogWriterRefusal(Context &ctx, const char *tag, uint32_t given, uint32_t avail);

}  // namespace ssh_msg_def::internal

#endif
