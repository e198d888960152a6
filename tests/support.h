// Shared test helpers: a type-erased view of each message's
// exported functions, a printer that renders any record (via its schema) so
// that records compare as text, and a fixture that resets the recorder and the
// module contexts and fails any test that leaks or mismatches a block.
#pragma once

#include <gtest/gtest.h>
#include <stdio.h>

#include <string>
#include <tuple>
#include <vector>

#include "internal.h"
#include "realistic.h"
#include "record_text.h"
#include "recorder.h"
#include "ssh_msg_def/ssh_msg_def.h"
#include "vectors.h"

namespace smd = ssh_msg_def::internal;
using Bytes = std::vector<uint8_t>;

// Writes a little-endian value of `width` bytes, whatever the host's byte order.
inline void PutLe(uint8_t *p, uint32_t v, int width) {
    for (int i = 0; i < width; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// One message: its exported functions, its name, record size and identifier,
// and how its record prints.
struct Codec : smd::Operations {
    const char *name;
    uint32_t size;
    uint32_t id;
    const smd::Schema *schema;
    std::string (*describe)(const void *);
};

// kFileTrans, ...: the codec of each message of the lists.
#define SMD_CODEC(Ns, Msg, ...)                                                                              \
    inline const Codec k##Msg{                                                                               \
        smd::kOperationsOf<&smd::k##Msg>, #Ns "_" #Msg, sizeof(Ns##_##Msg), smd::k##Msg.msgId, &smd::k##Msg, \
        &Describe<&smd::k##Msg>};
SSH_MSG_DEF_MESSAGES(SMD_CODEC)
#undef SMD_CODEC

inline char *S(const char *s) { return const_cast<char *>(s); }

struct Sample {
    const Codec *codec;
    const void *record;
};
inline void PrintTo(const Sample &p, std::ostream *os) { *os << p.codec->name; }

// The realistic record of each message, in the order of the lists.
#define SMD_SAMPLE(Ns, Msg, ...) Sample{&k##Msg, &smd_realistic::k##Msg},
inline const Sample kSamples[] = {SSH_MSG_DEF_MESSAGES(SMD_SAMPLE)};
#undef SMD_SAMPLE

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

// Returns a module context to its load-time state, so that one process can
// see a first binding again.
inline void ResetContext(smd::Context &ctx) {
    ctx.logWrite = nullptr;
    ctx.memAlloc = nullptr;
    ctx.memFree = nullptr;
    ctx.cacheAlloc = ctx.defaultAlloc;
    ctx.cacheFree = ctx.defaultFree;
    ctx.hooksResolved.word.store(0, std::memory_order_release);
    ctx.cacheResolved.word.store(0, std::memory_order_release);
}

class LibTest : public ::testing::Test {
  protected:
    void SetUp() override {
        rec_reset();
        for (smd::Context *c : {&smd::gClientRecv, &smd::gClientSend, &smd::gServerRecv, &smd::gServerSend}) {
            ResetContext(*c);
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
