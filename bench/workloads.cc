// The benchmark workloads and the measured operations. The workloads come from
// the table of messages: every message brings its exported functions, its
// schema and its realistic record, from which one generic builder makes a
// workload.
#include "workloads.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <array>
#include <utility>

#include "messages.h"
#include "realistic.h"

namespace smd_bench {
namespace {

namespace smd = ssh_msg_def::internal;

// Blocks the allocation floor allocates at most: the strings and lists of a record.
constexpr size_t kMaxBlocks = 32;

// The measured operations of message S: its exported functions called
// directly, with their own types, as a program calls them.
template <const smd::Schema *S, class A = smd::Api<S>, class R = typename A::Record>
constexpr MessageOps kTypedOps = {
    [](Workload &w) {
        uint32_t len = static_cast<uint32_t>(w.out.size());
        (void)A::pack(reinterpret_cast<const R *>(w.record), w.out.data(), &len);
    },
    [](Workload &w) {
        (void)A::unpack(w.encoded.data(), static_cast<uint32_t>(w.encoded.size()), reinterpret_cast<R *>(w.decoded));
        A::release(reinterpret_cast<R *>(w.decoded));
    },
    [](Workload &w) { (void)A::sendsingle(1, reinterpret_cast<const R *>(w.record), 0, 0); },
    [](Workload &w) { (void)A::sendbatch(1, reinterpret_cast<const R *>(w.records.data()), w.batchCount, 0); },
};

// Those of every message, in the order of the table of messages.
const MessageOps &OpsOf(const smd::Message &m) {
    static const auto kAll = []<size_t... I>(std::index_sequence<I...>) {
        return std::array<MessageOps, sizeof...(I)>{kTypedOps<smd::kSchemas[I]>...};
    }
    (std::make_index_sequence<std::size(smd::kSchemas)>{});
    return kAll[&m - smd::Messages().data()];
}

// Keeps the compiler from dropping a store or an allocation whose result is unused.
inline void Opaque(const void *p) { asm volatile("" : : "g"(p) : "memory"); }

[[noreturn]] void Fail(const Workload &w, const char *what) {
    fprintf(stderr, "workload %s: %s\n", w.name.c_str(), what);
    abort();
}

const smd::Message &MessageNamed(const char *name) {
    if (const smd::Message *m = smd::FindMessage(name)) return *m;
    fprintf(stderr, "no message %s\n", name);
    abort();
}

// Encodes the record, checks that the encoding decodes back to a record that
// packs to the same bytes, sizes the batch and checks both send paths once.
std::unique_ptr<Workload> Finish(std::unique_ptr<Workload> w) {
    Workload &x = *w;
    const smd::Schema &schema = x.message->schema;
    uint32_t size = 1u << 20;
    for (const auto &s : x.strings) size += s.second;
    x.encoded.resize(size);
    if (x.message->pack(x.record, x.encoded.data(), &size) != 0) Fail(x, "pack failed");
    x.encoded.resize(size);
    x.out.resize(size);
    (void)x.message->unpack(x.encoded.data(), size, x.decoded);
    uint32_t again = size;
    if (x.message->pack(x.decoded, x.out.data(), &again) != 0 || again != size ||
        memcmp(x.out.data(), x.encoded.data(), size) != 0) {
        Fail(x, "the encoding does not decode to the record");
    }
    x.message->release(x.decoded);
    // A fixed image is sent whole whatever its size; an encoding fills the area.
    x.batchCount = schema.fixedImage ? kBatch : std::min<uint32_t>(kBatch, SSH_MSG_DEF_BATCH_AREA / size);
    x.records.resize(static_cast<size_t>(x.batchCount) * schema.recordSize);
    for (uint32_t i = 0; i < x.batchCount; ++i) {
        memcpy(x.records.data() + static_cast<size_t>(i) * schema.recordSize, x.record, schema.recordSize);
    }
    if (x.message->sendsingle(1, x.record, 0, 0) != 0) Fail(x, "single send failed");
    // A record too large for the batch area (a scaling point) has no batch.
    if (x.batchCount > 0 && x.message->sendbatch(1, x.records.data(), x.batchCount, 0) != 0) Fail(x, "batch failed");
    return w;
}

// What a workload changes in its message's realistic record: the first
// strings of the record and the elements of its first lists, in the record's
// order (nested records included).
struct Changes {
    std::vector<std::string> strings;
    std::vector<std::vector<uint8_t>> lists;
};

// A workload of a message's realistic record, with the changes: the workload
// copies the record and gives every string and every list of the copy its own
// copy, which the allocation floor copies in turn.
std::unique_ptr<Workload> Build(std::string name, const smd::Message &m, Changes changes = {}) {
    static_assert(sizeof(SshcMsgDef_SftpciMessage) <= sizeof(Workload::record), "a record fits a workload");
    auto w = std::make_unique<Workload>();
    w->name = std::move(name);
    w->message = &m;
    w->ops = &OpsOf(m);
    if (m.schema.recordSize > sizeof w->record) Fail(*w, "the record does not fit a workload");
    memcpy(w->record, smd_realistic::Realistic(m), m.schema.recordSize);
    size_t strings = 0;  // strings and lists met so far, the changed ones first
    size_t lists = 0;
    auto string = [&](const smd::Field &, char *&s) {
        if (s == nullptr) return;
        std::string text = strings < changes.strings.size() ? std::move(changes.strings[strings]) : s;
        ++strings;
        s = const_cast<char *>(w->Keep(std::move(text)));
    };
    auto list = [&](const smd::Field &, smd::ListMember member) {
        ListBytes own{{}, member.element.recordSize};
        if (lists < changes.lists.size()) {
            own.bytes = std::move(changes.lists[lists]);
        } else {
            const auto *from = static_cast<const uint8_t *>(member.array);
            own.bytes.assign(from, from + size_t{member.count} * own.elementSize);
        }
        ++lists;
        if (own.bytes.size() % own.elementSize != 0) Fail(*w, "a list ends inside an element");
        member.count = static_cast<uint32_t>(own.bytes.size() / own.elementSize);
        w->lists.push_back(std::move(own));
        member.array = w->lists.back().bytes.data();
    };
    smd::VisitMembers(m.schema, w->record, smd::Visitor{[](const smd::Field &, uint32_t &) {}, string, list});
    if (strings < changes.strings.size() || lists < changes.lists.size()) Fail(*w, "more changes than members");
    if (w->strings.size() + w->lists.size() > kMaxBlocks) Fail(*w, "more strings and lists than the floor takes");
    return Finish(std::move(w));
}

}  // namespace

const char *Workload::Keep(std::string s) {
    text.push_back(std::move(s));
    strings.emplace_back(text.back().c_str(), static_cast<uint32_t>(text.back().size()));
    return text.back().c_str();
}

std::unique_ptr<Workload> PortListOf(uint32_t ports) {
    std::vector<uint8_t> list;
    for (uint32_t i = 0; i < ports; ++i) {
        const auto port = smd_realistic::Port(i);
        const auto *bytes = reinterpret_cast<const uint8_t *>(&port);
        list.insert(list.end(), bytes, bytes + sizeof port);
    }
    return Build("PortList:" + std::to_string(ports), MessageNamed("PortList"), {{}, {std::move(list)}});
}

std::unique_ptr<Workload> FileTransOf(uint32_t bytes) {
    return Build("FileTransBytes:" + std::to_string(bytes), MessageNamed("FileTrans"),
                 {{std::string(bytes, 's'), std::string(bytes, 't')}, {}});
}

std::vector<std::unique_ptr<Workload>> StandardWorkloads() {
    std::vector<std::unique_ptr<Workload>> all;
    for (const smd::Message &m : smd::Messages()) all.push_back(Build(m.name, m));
    // A long string: the source path of a FileTrans replaced by 4 KB of text.
    all.push_back(Build("FileTrans4K", MessageNamed("FileTrans"),
                        {{std::string(4096, 'x'), "/srv/backup/2024/app/blob.bin"}, {}}));
    return all;
}

std::unique_ptr<Workload> WorkloadByName(const std::string &name) {
    const size_t colon = name.find(':');
    if (colon != std::string::npos) {
        const uint32_t n = static_cast<uint32_t>(strtoul(name.c_str() + colon + 1, nullptr, 10));
        const std::string kind = name.substr(0, colon);
        if (kind == "PortList") return PortListOf(n);
        if (kind == "FileTransBytes") return FileTransOf(n);
        return nullptr;
    }
    for (auto &w : StandardWorkloads()) {
        if (w->name == name) return std::move(w);
    }
    return nullptr;
}

const char *OpName(Op op) {
    switch (op) {
        case Op::kPack: return "pack";
        case Op::kUnpackFree: return "unpack+free";
        case Op::kSendSingle: return "sendsingle";
        case Op::kSendBatch: return "sendbatch";
        case Op::kCopyFloor: return "floor:copy";
        case Op::kAllocFloor: return "floor:alloc";
    }
    return "?";
}

bool OpByName(const std::string &name, Op *op) {
    for (Op o : kAllOps) {
        if (name == OpName(o)) {
            *op = o;
            return true;
        }
    }
    return false;
}

uint64_t OpBytes(const Workload &w, Op op) {
    return static_cast<uint64_t>(w.encoded.size()) * (op == Op::kSendBatch ? w.batchCount : 1);
}

void CopyFloor(Workload &w) {
    memcpy(w.out.data(), w.encoded.data(), w.encoded.size());
    Opaque(w.out.data());
}

void AllocFloor(Workload &w) {
    void *blocks[kMaxBlocks];
    size_t n = 0;
    for (const auto &[text, len] : w.strings) {
        auto *copy = static_cast<char *>(malloc(len + 1));
        Opaque(copy);
        memcpy(copy, text, len);
        copy[len] = '\0';
        blocks[n++] = copy;
    }
    for (const ListBytes &list : w.lists) {
        if (list.bytes.empty()) continue;
        void *array = malloc(list.bytes.size());
        Opaque(array);
        memcpy(array, list.bytes.data(), list.bytes.size());
        blocks[n++] = array;
    }
    for (size_t i = 0; i < n; ++i) {
        Opaque(blocks[i]);
        free(blocks[i]);
    }
}

OpFn OpFunction(const Workload &w, Op op) {
    switch (op) {
        case Op::kPack: return w.ops->pack;
        case Op::kUnpackFree: return w.ops->unpackFree;
        case Op::kSendSingle: return w.ops->sendSingle;
        case Op::kSendBatch: return w.ops->sendBatch;
        case Op::kCopyFloor: return &CopyFloor;
        case Op::kAllocFloor: return &AllocFloor;
    }
    return nullptr;
}

}  // namespace smd_bench
