// Benchmark workloads: the realistic record of every message, its encoding, and
// the operations measured on them through the exported functions, together with
// the two floors every operation is compared with: the copy floor (one memcpy
// of the encoded size: the least work that produces the bytes) and the
// allocation floor (malloc(len + 1), copy and free for every string of the
// record, malloc, copy and free of every list's elements: the least work a
// decode into owned memory allows). Shared by the Google Benchmark suite and
// the instruction-count driver, so both measure exactly the same thing.
#ifndef SSH_MSG_DEF_BENCH_WORKLOADS_H
#define SSH_MSG_DEF_BENCH_WORKLOADS_H

#include <stddef.h>
#include <stdint.h>

#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ssh_msg_def/ssh_msg_def.h"

namespace ssh_msg_def::internal {
struct Message;
}

namespace smd_bench {

inline constexpr uint32_t kBatch = 64;  // records per batch, when they fit SSH_MSG_DEF_BATCH_AREA

// A list of a record: its elements' bytes, one element after another.
struct ListBytes {
    std::vector<uint8_t> bytes;
    uint32_t elementSize = 0;  // bytes of one element
};

struct Workload;
using OpFn = void (*)(Workload &);

// The measured operations of a message's exported functions.
struct MessageOps {
    OpFn pack, unpackFree, sendSingle, sendBatch;
};

struct Workload {
    std::string name;
    const ssh_msg_def::internal::Message *message = nullptr;
    const MessageOps *ops = nullptr;                         // its exported functions, as measured
    std::deque<std::string> text;                            // the record's strings; a deque never moves them
    std::vector<std::pair<const char *, uint32_t>> strings;  // every string of the record, nested ones too
    std::vector<ListBytes> lists;  // every list of the record; moving a vector keeps its elements in place
    alignas(8) uint8_t record[256] = {};
    std::vector<uint8_t> records;  // batchCount copies of the record, back to back
    uint32_t batchCount = 0;       // kBatch, or fewer when kBatch encodings exceed the batch area
    std::vector<uint8_t> encoded;  // the record's encoding
    // Scratch space of the operations.
    std::vector<uint8_t> out;
    alignas(8) uint8_t decoded[256] = {};

    Workload() = default;
    Workload(const Workload &) = delete;
    Workload &operator=(const Workload &) = delete;
    const char *Keep(std::string s);  // stores a string of the record, returns its text
};

// The representative workloads, in report order: the realistic record of each
// message, named by the message and in the order of the message lists, then
// FileTrans4K, a FileTrans whose first string is 4 KB long.
std::vector<std::unique_ptr<Workload>> StandardWorkloads();
// Scaling workloads: a PortList of `ports` elements (the realistic strings),
// and a FileTrans whose two strings are `bytes` bytes long each.
std::unique_ptr<Workload> PortListOf(uint32_t ports);
std::unique_ptr<Workload> FileTransOf(uint32_t bytes);
// Any workload by name: a standard name, "PortList:N" or "FileTransBytes:N".
std::unique_ptr<Workload> WorkloadByName(const std::string &name);

enum class Op { kPack, kUnpackFree, kSendSingle, kSendBatch, kCopyFloor, kAllocFloor };
inline constexpr Op kAllOps[] = {Op::kPack,      Op::kUnpackFree, Op::kSendSingle,
                                 Op::kSendBatch, Op::kCopyFloor,  Op::kAllocFloor};
const char *OpName(Op op);
bool OpByName(const std::string &name, Op *op);
// Bytes one operation handles (the encoded size, times the batch count for a batch).
uint64_t OpBytes(const Workload &w, Op op);

// The floors. Like the operations, they check nothing, so that only the work
// is measured: every workload is checked once when it is built (the encoding
// decodes back to a record that packs to the same bytes, and a single send and
// a batch reach the framework).
void CopyFloor(Workload &w);
void AllocFloor(Workload &w);

// One operation of a workload: its message's exported function, or a floor.
OpFn OpFunction(const Workload &w, Op op);

}  // namespace smd_bench

#endif
