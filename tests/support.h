// Shared test helpers: hex byte vectors, a type-erased view of each message's
// exported functions, a printer that renders any record (via its schema) so
// that records compare as text, and a fixture that resets the recorder and the
// module contexts and fails any test that leaks or mismatches a block.
#pragma once

#include <gtest/gtest.h>
#include <stdio.h>

#include <string>
#include <tuple>
#include <vector>

#include "context.h"
#include "record_text.h"
#include "recorder.h"
#include "ssh_msg_def/ssh_msg_def.h"
#include "sshc/schemas.h"
#include "sshs/schemas.h"

namespace smd = ssh_msg_def::internal;
using Bytes = std::vector<uint8_t>;

inline Bytes Hex(const char *text) {
    Bytes out;
    unsigned v;
    int n;
    while (sscanf(text, " %2x%n", &v, &n) == 1) out.push_back(static_cast<uint8_t>(v)), text += n;
    return out;
}

// Writes a little-endian value of `width` bytes, whatever the host's byte order.
inline void PutLe(uint8_t *p, uint32_t v, int width) {
    for (int i = 0; i < width; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// One message's exported functions behind record-agnostic signatures.
struct Codec {
    const char *name;
    uint32_t size;
    uint32_t id;
    uint32_t (*unpack)(const uint8_t *, uint32_t, void *);
    void (*release)(void *);
    uint32_t (*pack)(const void *, uint8_t *, uint32_t *);
    uint32_t (*sendsingle)(uint32_t, const void *, uint64_t, uint64_t);
    uint32_t (*sendbatch)(uint32_t, const void *, uint32_t, uint64_t);
    uint32_t (*sendmsg)(uint32_t, const void *, uint32_t);
    uint32_t (*sendtomsg)(uint32_t, const void *, uint32_t, uint64_t);
    std::string (*describe)(const void *);
};

// clang-format off
#define SMD_CODEC(Rec, schema) Codec{#Rec, sizeof(Rec), (schema).msgId,                                           \
    [](const uint8_t *b, uint32_t l, void *r) { return Rec##__unpack(b, l, (Rec *)r); },                            \
    [](void *r) { Rec##_free__unpacked((Rec *)r); },                                                                \
    [](const void *r, uint8_t *b, uint32_t *l) { return Rec##__pack((const Rec *)r, b, l); },                       \
    [](uint32_t h, const void *r, uint64_t x, uint64_t t) { return Rec##__sendsingle(h, (const Rec *)r, x, t); },  \
    [](uint32_t h, const void *r, uint32_t n, uint64_t t) { return Rec##__sendbatch(h, (const Rec *)r, n, t); },   \
    [](uint32_t h, const void *r, uint32_t n) { return Rec##__sendmsg(h, (const Rec *)r, n); },                     \
    [](uint32_t h, const void *r, uint32_t n, uint64_t t) { return Rec##__sendtomsg(h, (const Rec *)r, n, t); },   \
    &Describe<&(schema)>}
// clang-format on

inline const Codec kFileTrans = SMD_CODEC(SshcMsgDef_FileTrans, smd::kFileTrans);
inline const Codec kFileDir = SMD_CODEC(SshcMsgDef_FileDir, smd::kFileDir);
inline const Codec kConnectPara = SMD_CODEC(SshcMsgDef_ConnectPara, smd::kConnectPara);
inline const Codec kSftpci = SMD_CODEC(SshcMsgDef_SftpciMessage, smd::kSftpciMessage);
inline const Codec kPortList = SMD_CODEC(SshsMsgDef_PortList, smd::kPortList);
inline const Codec kForwardPort = SMD_CODEC(SshsMsgDef_ForwardPort, smd::kForwardPort);
inline const Codec kTcpForword = SMD_CODEC(SshsMsgDef_TcpForwordMessage, smd::kTcpForwordMessage);

inline char *S(const char *s) { return const_cast<char *>(s); }

// One record of each message, strings, scalars and a list in each; ForwardPort last.
inline SshsMsgDef_ForwardPort gSamplePorts[] = {{5, 0}, {7, 9}};
inline const SshcMsgDef_FileTrans kSampleFt = {1, S("ab"), nullptr, 2};
inline const SshcMsgDef_FileDir kSampleFd = {S("d"), 1, 0, 3, nullptr};
inline const SshcMsgDef_ConnectPara kSampleCp = {S("h"), 22, 0, 0, 0, 0, S("x"), 1};
inline const SshcMsgDef_SftpciMessage kSampleSm = {0, 0, 7, 0, kSampleCp, kSampleFd, kSampleFt};
inline const SshsMsgDef_PortList kSamplePl = {S("ab"), nullptr, 2, gSamplePorts};
inline const SshsMsgDef_TcpForwordMessage kSampleTf = {1, 0, 3, 0, kSamplePl};
inline const SshsMsgDef_ForwardPort kSampleFp = {22, 8080};

struct Sample {
    const Codec *codec;
    const void *record;
};
inline void PrintTo(const Sample &p, std::ostream *os) { *os << p.codec->name; }

inline const Sample kSamples[] = {{&kFileTrans, &kSampleFt},  {&kFileDir, &kSampleFd},  {&kConnectPara, &kSampleCp},
                                  {&kSftpci, &kSampleSm},     {&kPortList, &kSamplePl}, {&kTcpForword, &kSampleTf},
                                  {&kForwardPort, &kSampleFp}};

// Record storage of any message, aligned like its record.
struct Storage {
    alignas(8) uint8_t bytes[256] = {};
    void *get() { return bytes; }
};

inline Bytes Pack(const Codec &c, const void *rec) {
    Bytes out(1 << 20);
    uint32_t len = static_cast<uint32_t>(out.size());
    EXPECT_EQ(c.pack(rec, out.data(), &len), 0u) << c.name;
    out.resize(len);
    return out;
}

using Lines = std::vector<std::string>;

// Every call the library made into the platform so far, one line each:
// "log CODE TAG TEXT", "alloc SIZE ARG TAG", "cache SIZE ARG TAG" (" -> null"
// when failed), "free ARG TAG" (" null" for a null pointer), "send HANDLE xCOUNT"
// (" to TARGET" through VORN_SendToMsg), "reg ID", "clean". Use-flag queries
// are left out: they belong to hook binding, which the platform tests cover.
inline Lines Trace(bool logsOnly = false) {
    Lines out;
    char line[800];
    for (size_t i = 0; i < rec_count(); ++i) {
        const RecEvent &e = *rec_event(i);
        const char *null = e.ptr ? "" : " null";
        switch (e.kind) {
            case REC_LOG: snprintf(line, sizeof line, "log %u %s %s", e.a, e.tag, e.text); break;
            case REC_MEM_ALLOC:
            case REC_CACHE_ALLOC:
                snprintf(line, sizeof line, "%s %u %#x %s%s", e.kind == REC_MEM_ALLOC ? "alloc" : "cache", e.a, e.b,
                         e.tag, e.ptr ? "" : " -> null");
                break;
            case REC_FREE: snprintf(line, sizeof line, "free %#x %s%s", e.b, e.tag, null); break;
            case REC_SEND:
                snprintf(line, sizeof line, "send %u x%u%s", e.a, e.b,
                         e.sendTo ? (" to " + std::to_string(e.target)).c_str() : "");
                break;
            case REC_REG: snprintf(line, sizeof line, "reg %#x", e.a); break;
            case REC_REG_CLEAN: snprintf(line, sizeof line, "clean"); break;
            case REC_USE_FLAG: continue;
        }
        if (!logsOnly) out.push_back(line);
        if (logsOnly && e.kind == REC_LOG) out.push_back(line + 4);
    }
    return out;
}

// The log lines only, as "CODE TAG TEXT".
inline Lines Logs() { return Trace(true); }

class LibTest : public ::testing::Test {
  protected:
    void SetUp() override {
        rec_reset();
        for (smd::Context *c : {&smd::gClientRecv, &smd::gClientSend, &smd::gServerRecv, &smd::gServerSend}) {
            smd::ResetContextForTest(*c);
        }
    }
    void TearDown() override {
        for (size_t i = 0; const RecEvent *e = rec_find(REC_LOG, i); ++i) {  // what Trace() leaves out of a log line
            const auto *m = static_cast<const SshMsgDef_ModuleDesc *>(e->ptr2);
            EXPECT_EQ(std::make_tuple(std::string(m->name), std::string(m->subName), m->moduleId, e->level,
                                      std::string(e->file)),
                      std::make_tuple("ZIRKO", "ZIRKO_VANTOME_SERIAL", 0x6200, 2u, ""))
                << e->text;
        }
        EXPECT_EQ(rec_live_blocks(), 0) << "blocks leaked";
        EXPECT_EQ(rec_free_errors(), 0) << "bad frees (unknown, double, tag/arg mismatch or overrun)";
    }
};
