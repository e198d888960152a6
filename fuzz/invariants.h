// What the decoder, the encoder and the release routine promise for any
// input, written once over the schema tables and checked by every fuzz target
// and by the regression runner:
// - a failed decode leaves a record that owns nothing, logs at most one line
//   (code 22) and leaves no block behind;
// - an observed decode reaches the same verdict and record, told of one
//   refusal when it refuses and of none when it accepts;
// - a successful decode owns one block per string and per non-empty list, logs
//   nothing, packs to exactly its measured size (one byte less is refused), and
//   that encoding decodes to an equal record and packs to the same bytes;
// - failing any one of its allocations fails the decode with one log line
//   (code 12, the failed size, the allocating decoder's tag; which of the two
//   widths of its text a decoder logs is pinned by the cases), keeps
//   the scalars read before the failure, gives every block back, and tells an
//   observer of the decode of its failed size;
// - a release nulls every owned pointer and nothing else, and a second one is
//   harmless.
// Blocks are counted and their frees checked by the host OS layer. The
// decoders and writers work in the byte order the build is for; the other
// order is checked where it is native, by the cross run.
// A broken promise prints what broke and aborts, which libFuzzer reports.
#ifndef SSH_MSG_DEF_FUZZ_INVARIANTS_H
#define SSH_MSG_DEF_FUZZ_INVARIANTS_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <iterator>
#include <string>
#include <vector>

#include "guarded.h"
#include "messages.h"
#include "record_json.h"
#include "ssh_msg_def/zvd_host.h"

namespace smd_fuzz {

namespace smd = ssh_msg_def::internal;
using Bytes = std::vector<uint8_t>;  // an encoding, or a record's storage of exactly its size
using smd::Message;

// Two records of a message are equal when their texts are.
inline std::string Describe(const smd::Schema &s, const void *record) { return smd::RecordText(s, record); }

// What the host OS layer was asked since Reset(): record allocations (a
// refused one with a null block) and log lines.
struct Allocation {
    uint32_t size;
    std::string tag;
    bool refused;
};
struct LogLine {
    uint32_t code;
    std::string tag, text;
};
inline std::vector<Allocation> gAllocs;
inline std::vector<LogLine> gLogs;

// Forgets what was seen; `refuse`: the allocation to refuse from now on,
// counted from 0, or -1.
void Reset(long refuse = -1);
// Blocks allocated and not freed, or -1 once the layer found a free wrong.
long Live();

// The operation under check, named in failure reports.
inline const char *gWhere = "";

[[noreturn]] void Fail(const char *condition, const std::string &detail);

// `detail` is evaluated only when the check fails.
#define SMD_CHECK(cond, detail)                                    \
    do {                                                           \
        if (!(cond)) ::smd_fuzz::Fail(#cond, std::string(detail)); \
    } while (0)

// What an observer of a decode was told: how many refusals, and the last.
struct Refusals final : smd::Observer {
    int count = 0;
    smd::Rule rule{};
    uint32_t value = 0;
    void Refuse(smd::Rule r, uint32_t, uint32_t v) override { ++count, rule = r, value = v; }
};

// What decoding into a zeroed record leaves when allocation k of a decode that
// yields `full` fails: pointers null, scalars and counts read before the
// failing member kept, everything after it zero. With no allocation k, what a
// release leaves: every owned pointer null, nothing else changed. Counts the
// record's blocks into *owned.
Bytes AfterFailedAllocation(const smd::Schema &s, const void *full, size_t k, size_t *owned = nullptr);

// Packs the record into exactly its measured size and into rooms one byte
// short (refused, nothing written) and larger (the writer may then size from
// an upper bound, which lists with zero fields exceed by 4 per such field: the
// same bytes, the rest left alone), and with each of its strings moved into
// the output (ending where the encoding begins, its terminator the first byte
// written, and at the encoding's start: the writer keeps the lengths it
// measured and writes nothing outside the encoding; in the first place it
// copies the string intact); decodes the encoding back to an equal record,
// which packs to the same bytes. Returns the encoding.
Bytes CheckRoundTrip(const Message &m, const void *rec);

// Every invariant for one input to one decoder, each of its allocations
// failed in turn. Returns the number of allocation failures injected.
size_t CheckDecode(const Message &m, const uint8_t *data, size_t size);

}  // namespace smd_fuzz

#endif
