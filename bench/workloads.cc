// The benchmark workloads and the measured operations.
#include "workloads.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "realistic.h"

namespace smd_bench {
namespace {

// The exported functions themselves, called through record-agnostic pointer
// types as the framework calls a registered decoder: no wrapper in between.
#define SMD_BENCH_OPS(Rec)                                                    \
    Ops {                                                                     \
        sizeof(Rec), reinterpret_cast<decltype(Ops::unpack)>(&Rec##__unpack), \
            reinterpret_cast<decltype(Ops::release)>(&Rec##_free__unpacked),  \
            reinterpret_cast<decltype(Ops::pack)>(&Rec##__pack),              \
            reinterpret_cast<decltype(Ops::sendsingle)>(&Rec##__sendsingle),  \
            reinterpret_cast<decltype(Ops::sendbatch)>(&Rec##__sendbatch)     \
    }

const Ops kFileTransOps = SMD_BENCH_OPS(SshcMsgDef_FileTrans);
const Ops kConnectParaOps = SMD_BENCH_OPS(SshcMsgDef_ConnectPara);
const Ops kSftpciOps = SMD_BENCH_OPS(SshcMsgDef_SftpciMessage);
const Ops kPortListOps = SMD_BENCH_OPS(SshsMsgDef_PortList);
const Ops kForwardPortOps = SMD_BENCH_OPS(SshsMsgDef_ForwardPort);
const Ops kTcpForwordOps = SMD_BENCH_OPS(SshsMsgDef_TcpForwordMessage);

// Keeps the compiler from dropping a store or an allocation whose result is unused.
inline void Escape(const void *p) { asm volatile("" : : "g"(p) : "memory"); }

[[noreturn]] void Fail(const Workload &w, const char *what) {
    fprintf(stderr, "workload %s: %s\n", w.name.c_str(), what);
    abort();
}

// The workload keeps its own copy of each string of the record (for the
// allocation floor), in the record's order.
char *Own(Workload &w, const char *text) { return const_cast<char *>(w.Keep(text)); }

void FillFileTrans(Workload &w, SshcMsgDef_FileTrans *r, std::string source, std::string target) {
    *r = smd_realistic::kFileTrans;
    r->field1 = const_cast<char *>(w.Keep(std::move(source)));
    r->field2 = const_cast<char *>(w.Keep(std::move(target)));
}

void FillConnectPara(Workload &w, SshcMsgDef_ConnectPara *r) {
    *r = smd_realistic::kConnectPara;
    for (char **s : {&r->field0, &r->field2, &r->field4, &r->field5, &r->field6}) *s = Own(w, *s);
}

void FillPortList(Workload &w, SshsMsgDef_PortList *r, uint32_t ports) {
    w.ports.resize(ports);
    for (uint32_t i = 0; i < ports; ++i) w.ports[i] = smd_realistic::Port(i);
    w.listCount = ports;
    *r = smd_realistic::kPortList;
    r->field0 = Own(w, r->field0);
    r->field1 = Own(w, r->field1);
    r->forwardPortCount = ports;
    r->forwardPort = w.ports.data();
}

// Encodes the record, checks that the encoding decodes back to a record that
// packs to the same bytes, sizes the batch and checks both send paths once.
std::unique_ptr<Workload> Finish(std::unique_ptr<Workload> w) {
    Workload &x = *w;
    uint32_t size = 1u << 20;
    for (const auto &s : x.strings) size += s.second;
    x.encoded.resize(size);
    if (x.ops->pack(x.record, x.encoded.data(), &size) != 0) Fail(x, "pack failed");
    x.encoded.resize(size);
    x.out.resize(size);
    (void)x.ops->unpack(x.encoded.data(), size, x.decoded);
    uint32_t again = size;
    if (x.ops->pack(x.decoded, x.out.data(), &again) != 0 || again != size ||
        memcmp(x.out.data(), x.encoded.data(), size) != 0) {
        Fail(x, "the encoding does not decode to the record");
    }
    x.ops->release(x.decoded);
    x.batchCount = x.ops == &kForwardPortOps ? kBatch : std::min<uint32_t>(kBatch, kBatchArea / size);
    x.records.resize(static_cast<size_t>(x.batchCount) * x.ops->recordSize);
    for (uint32_t i = 0; i < x.batchCount; ++i) {
        memcpy(x.records.data() + static_cast<size_t>(i) * x.ops->recordSize, x.record, x.ops->recordSize);
    }
    if (x.ops->sendsingle(1, x.record, 0, 0) != 0) Fail(x, "single send failed");
    // A record too large for the batch area (a scaling point) has no batch.
    if (x.batchCount > 0 && x.ops->sendbatch(1, x.records.data(), x.batchCount, 0) != 0) Fail(x, "batch failed");
    return w;
}

std::unique_ptr<Workload> Make(std::string name, const Ops &ops) {
    auto w = std::make_unique<Workload>();
    w->name = std::move(name);
    w->ops = &ops;
    return w;
}

}  // namespace

const char *Workload::Keep(std::string s) {
    text.push_back(std::move(s));
    strings.emplace_back(text.back().c_str(), static_cast<uint32_t>(text.back().size()));
    return text.back().c_str();
}

std::unique_ptr<Workload> PortListOf(uint32_t ports) {
    auto w = Make("PortList:" + std::to_string(ports), kPortListOps);
    FillPortList(*w, reinterpret_cast<SshsMsgDef_PortList *>(w->record), ports);
    return Finish(std::move(w));
}

std::unique_ptr<Workload> FileTransOf(uint32_t bytes) {
    auto w = Make("FileTransBytes:" + std::to_string(bytes), kFileTransOps);
    FillFileTrans(*w, reinterpret_cast<SshcMsgDef_FileTrans *>(w->record), std::string(bytes, 's'),
                  std::string(bytes, 't'));
    return Finish(std::move(w));
}

std::vector<std::unique_ptr<Workload>> StandardWorkloads() {
    std::vector<std::unique_ptr<Workload>> all;

    namespace real = smd_realistic;
    auto w = Make("FileTrans", kFileTransOps);
    FillFileTrans(*w, reinterpret_cast<SshcMsgDef_FileTrans *>(w->record), real::kFileTrans.field1,
                  real::kFileTrans.field2);
    all.push_back(Finish(std::move(w)));

    w = Make("ConnectPara", kConnectParaOps);
    FillConnectPara(*w, reinterpret_cast<SshcMsgDef_ConnectPara *>(w->record));
    all.push_back(Finish(std::move(w)));

    w = Make("SftpciMessage", kSftpciOps);
    {
        auto *r = reinterpret_cast<SshcMsgDef_SftpciMessage *>(w->record);
        *r = real::kSftpciMessage;
        FillConnectPara(*w, &r->connectPara);
        r->fileDir.field0 = Own(*w, r->fileDir.field0);
        r->fileDir.field4 = Own(*w, r->fileDir.field4);
        FillFileTrans(*w, &r->fileTrans, r->fileTrans.field1, r->fileTrans.field2);
    }
    all.push_back(Finish(std::move(w)));

    w = Make("PortList16", kPortListOps);
    FillPortList(*w, reinterpret_cast<SshsMsgDef_PortList *>(w->record), real::kPortList.forwardPortCount);
    all.push_back(Finish(std::move(w)));

    w = Make("TcpForword64", kTcpForwordOps);
    {
        auto *r = reinterpret_cast<SshsMsgDef_TcpForwordMessage *>(w->record);
        *r = real::kTcpForwordMessage;
        FillPortList(*w, &r->portList, real::kTcpForwordMessage.portList.forwardPortCount);
    }
    all.push_back(Finish(std::move(w)));

    w = Make("FileTrans4K", kFileTransOps);
    FillFileTrans(*w, reinterpret_cast<SshcMsgDef_FileTrans *>(w->record), std::string(4096, 'x'),
                  "/srv/backup/2024/app/blob.bin");
    all.push_back(Finish(std::move(w)));

    w = Make("ForwardPort", kForwardPortOps);
    *reinterpret_cast<SshsMsgDef_ForwardPort *>(w->record) = real::kForwardPort;
    all.push_back(Finish(std::move(w)));

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

void Pack(Workload &w) {
    uint32_t len = static_cast<uint32_t>(w.out.size());
    (void)w.ops->pack(w.record, w.out.data(), &len);
}

void UnpackFree(Workload &w) {
    (void)w.ops->unpack(w.encoded.data(), static_cast<uint32_t>(w.encoded.size()), w.decoded);
    w.ops->release(w.decoded);
}

void SendSingle(Workload &w) { (void)w.ops->sendsingle(1, w.record, 0, 0); }

void SendBatch(Workload &w) { (void)w.ops->sendbatch(1, w.records.data(), w.batchCount, 0); }

void CopyFloor(Workload &w) {
    memcpy(w.out.data(), w.encoded.data(), w.encoded.size());
    Escape(w.out.data());
}

void AllocFloor(Workload &w) {
    void *blocks[32];
    size_t n = 0;
    for (const auto &[text, len] : w.strings) {
        auto *copy = static_cast<char *>(malloc(len + 1));
        Escape(copy);
        memcpy(copy, text, len);
        copy[len] = '\0';
        blocks[n++] = copy;
    }
    if (w.listCount != 0) {
        const size_t bytes = sizeof(SshsMsgDef_ForwardPort) * w.listCount;
        void *array = malloc(bytes);
        Escape(array);
        memcpy(array, w.ports.data(), bytes);
        blocks[n++] = array;
    }
    for (size_t i = 0; i < n; ++i) {
        Escape(blocks[i]);
        free(blocks[i]);
    }
}

OpFn OpFunction(Op op) {
    switch (op) {
        case Op::kPack: return &Pack;
        case Op::kUnpackFree: return &UnpackFree;
        case Op::kSendSingle: return &SendSingle;
        case Op::kSendBatch: return &SendBatch;
        case Op::kCopyFloor: return &CopyFloor;
        case Op::kAllocFloor: return &AllocFloor;
    }
    return nullptr;
}

}  // namespace smd_bench
