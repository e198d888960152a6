// Acceptance rules, in order: each row corrupts a valid encoding (or the call's
// arguments) and states the one log line expected, if any, and the record
// afterwards. The output record starts as a copy of the encoded record (string
// literals, not heap), so "untouched", "zeroed" and "released with the scalars
// read so far" are told apart.
#include <string.h>

#include "support.h"

namespace {

char *S(const char *s) { return const_cast<char *>(s); }

SshsMsgDef_ForwardPort gPorts[] = {{5, 0}, {7, 9}};

void FileTransAb(void *r) { *(SshcMsgDef_FileTrans *)r = {1, S("ab"), nullptr, 0}; }  // 35 bytes, table at 16
void ConnectParaAb(void *r) { *(SshcMsgDef_ConnectPara *)r = {S("a"), 5, S("b"), 0, 0, 0, 0, 0}; }  // 52 bytes
void PortList81(void *r) { *(SshsMsgDef_PortList *)r = {S("ab"), nullptr, 2, gPorts}; }
void Tcp111(void *r) { *(SshsMsgDef_TcpForwordMessage *)r = {1, 0, 3, 0, {S("ab"), nullptr, 2, gPorts}}; }
void Sftpci(void *r) {
    auto *m = (SshcMsgDef_SftpciMessage *)r;
    *m = {1, 0, 0, 0, {S("a"), 5, 0, 0, 0, 0, S("c"), 0}, {S("dirname"), 0, 0, 0, 0}, {0, S("t"), 0, 0}};
}

struct Patch {
    int32_t at;  // from the buffer start, or from `marker` when given
    uint32_t value;
    int width;
    const char *marker = nullptr;
};

struct Rule {
    const char *what;
    const Codec &codec;
    void (*fill)(void *);
    Patch patches[2];   // width 0: unused
    const char *log;    // "code|tag|text", or "" for none
    const char *after;  // the record afterwards
    int64_t len = -1;   // the length passed, when not the buffer's
    bool nullBuf = false;
    bool nullRec = false;
};

constexpr const char *kFt = "22|SshcMsgDef_FileTrans_unpack|[ZIRKO]:";
constexpr const char *kFtKept = "{1, \"ab\", null, 0}";
constexpr const char *kCpZero = "{null, 0, null, 0, null, null, null, 0}";
constexpr const char *kListFailed = "{null, null, 2:null}";

std::string L(const char *prefix, const char *text) { return std::string(prefix) + text; }

const Rule kRules[] = {
    {"null buffer", kFileTrans, FileTransAb, {}, "Param invalid(null, 12, nonNull)", kFtKept, 12, true},
    {"len 2^31", kFileTrans, FileTransAb, {}, "Param invalid(nonNull, -2147483648, nonNull)", kFtKept, 0x80000000},
    {"len 3", kFileTrans, FileTransAb, {}, "Param invalid(nonNull, 3, nonNull)", kFtKept, 3},
    {"null record", kFileTrans, FileTransAb, {}, "Param invalid(nonNull, 35, null)", "", -1, false, true},
    {"root 2", kFileTrans, FileTransAb, {{0, 2, 4}}, "Table offset(2) is out of range(4 - 35)", kFtKept},
    {"root 3", kFileTrans, FileTransAb, {{0, 3, 4}}, "Table offset(3) is out of range(4 - 35)", kFtKept},
    {"root len-3", kFileTrans, FileTransAb, {{0, 32, 4}}, "Table offset(32) is out of range(4 - 35)", kFtKept},
    {"vtable at 2", kFileTrans, FileTransAb, {{16, 14, 4}}, "Vtable offset(2) is out of range(4 - 31)", kFtKept},
    {"vtable after end",
     kFileTrans,
     FileTransAb,
     {{16, 0xFFFFFFF0, 4}},
     "Vtable offset(32) is out of range(4 - 31)",
     kFtKept},
    {"vtable wraps",
     kFileTrans,
     FileTransAb,
     {{16, 17, 4}},
     "Vtable offset(4294967295) is out of range(4 - 31)",
     kFtKept},
    {"vtable too long", kFileTrans, FileTransAb, {{4, 32, 2}}, "Vtable Len(32) is out of range(0 - 31)", kFtKept},
    {"vtable to the end", kFileTrans, FileTransAb, {{4, 31, 2}}, "", kFtKept},
    {"scalar past end", kFileTrans, FileTransAb, {{8, 0xFFFF, 2}}, "", "{0, null, null, 0}"},
    {"string slot past end", kFileTrans, FileTransAb, {{10, 20, 2}}, "", "{1, null, null, 0}"},
    {"string offset wraps", kFileTrans, FileTransAb, {{24, 0xFFFFFFF0, 4}}, "", "{1, null, null, 0}"},
    {"string past end", kFileTrans, FileTransAb, {{24, 8, 4}}, "", "{1, null, null, 0}"},
    {"string too long", kFileTrans, FileTransAb, {{28, 4, 4}}, "", "{1, null, null, 0}"},
    {"string length wraps", kFileTrans, FileTransAb, {{28, 0xFFFFFFFF, 4}}, "", "{1, null, null, 0}"},
    {"second string fails", kFileTrans, FileTransAb, {{12, 16, 2}}, "", "{1, null, null, 0}"},
    {"delegating null buffer",
     kConnectPara,
     ConnectParaAb,
     {},
     "22|SshcMsgDef_ConnectPara_unpack|[ZIRKO]:Param invalid(null, 52, nonNull)",
     "{\"a\", 5, \"b\", 0, null, null, null, 0}",
     -1,
     true},
    {"delegating root 2",
     kConnectPara,
     ConnectParaAb,
     {{0, 2, 4}},
     "22|SshcMsgDef_ConnectPara_unpack_non_root|[ZIRKO]:Table offset(2) is out of range(4 - 52)",
     kCpZero},
    {"delegating vtable",
     kConnectPara,
     ConnectParaAb,
     {{4, 60, 2}},
     "22|SshcMsgDef_ConnectPara_unpack_non_root|[ZIRKO]:Vtable Len(60) is out of range(0 - 48)",
     kCpZero},
    {"delegating field", kConnectPara, ConnectParaAb, {{46, 100, 4}}, "", "{null, 5, null, 0, null, null, null, 0}"},
    {"nested string",
     kSftpci,
     Sftpci,
     {{-4, 1000, 4, "dirname"}},
     "",
     "{1, 0, 0, 0, {null, 5, null, 0, null, null, null, 0}, {null, 0, 0, 0, null}, {0, null, null, 0}}"},
    {"element table",
     kPortList,
     PortList81,
     {{41, 0x1000, 4}},
     "22|SshsMsgDef_ForwardPort_unpack_non_root|[ZIRKO]:Table offset(4137) is out of range(4 - 81)",
     kListFailed},
    {"element offset wraps", kPortList, PortList81, {{37, 0xFFFFFFF0, 4}}, "", kListFailed},
    {"count 2^30", kPortList, PortList81, {{33, 0x40000000, 4}}, "", "{null, null, 0:null}"},
    {"count past end", kPortList, PortList81, {{33, 20, 4}}, "", "{null, null, 0:null}"},
    {"count word past end", kPortList, PortList81, {{22, 0x100, 4}}, "", "{null, null, 0:null}"},
    {"list offset wraps", kPortList, PortList81, {{22, 0xFFFFFFFF, 4}}, "", "{null, null, 0:null}"},
    {"nested list element",
     kTcpForword,
     Tcp111,
     {{71, 0x1000, 4}},
     "22|SshsMsgDef_ForwardPort_unpack_non_root|[ZIRKO]:Table offset(4167) is out of range(4 - 111)",
     "{1, 0, 3, 0, {null, null, 2:null}}"},
    {"no slot 4", kTcpForword, Tcp111, {{4, 12, 2}}, "", "{1, 0, 3, 0, {null, null, 0:null}}"},
    {"self-contained vtable",
     kForwardPort,
     [](void *r) {
         *(SshsMsgDef_ForwardPort *)r = {22, 8080};
     },
     {{12, 20, 4}},
     "22|SshsMsgDef_ForwardPort_unpack|[ZIRKO]:Vtable offset(4294967288) is out of range(4 - 20)",
     "{22, 8080}"},
};

class DecodeRuleTest : public LibTest, public ::testing::WithParamInterface<Rule> {};

TEST_P(DecodeRuleTest, RejectsWithItsLogAndRecordState) {
    const Rule &r = GetParam();
    Storage base, out;
    r.fill(base.get());
    Bytes buf = Pack(r.codec, base.get());
    for (const Patch &p : r.patches) {
        if (p.width == 0) continue;
        const size_t from = p.marker ? std::string(buf.begin(), buf.end()).find(p.marker) : 0;
        ASSERT_LE(from + p.at + p.width, buf.size());
        // Little-endian on every host, like the buffer it patches.
        for (int i = 0; i < p.width; ++i) buf[from + p.at + i] = static_cast<uint8_t>(p.value >> 8 * i);
    }
    memcpy(out.bytes, base.bytes, sizeof out.bytes);
    rec_reset();

    const uint32_t len = r.len >= 0 ? static_cast<uint32_t>(r.len) : static_cast<uint32_t>(buf.size());
    EXPECT_EQ(r.codec.unpack(r.nullBuf ? nullptr : buf.data(), len, r.nullRec ? nullptr : out.get()), r.codec.size);
    const std::string log = strchr(r.log, '|') || !*r.log ? r.log : L(kFt, r.log);
    EXPECT_EQ(Logs(), log.empty() ? std::vector<std::string>{} : std::vector<std::string>{log});
    if (!r.nullRec) {
        EXPECT_EQ(r.codec.describe(out.get()), r.after);
    }
    if (memcmp(out.bytes, base.bytes, sizeof out.bytes) != 0) r.codec.release(out.get());
}

INSTANTIATE_TEST_SUITE_P(Rules, DecodeRuleTest, ::testing::ValuesIn(kRules), [](const auto &info) {
    std::string n = info.param.what;
    for (char &c : n) c = isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return n;
});

TEST_F(LibTest, GuardedNestedDecoderChecksItsOwnParameters) {
    SshsMsgDef_ForwardPort rec{3, 4};
    const uint8_t one = 0;
    EXPECT_FALSE((smd::DecodeNested<&smd::kForwardPort>({nullptr, 12, false}, 4, &rec)));
    EXPECT_FALSE((smd::DecodeNested<&smd::kFileTrans>({&one, 1, false}, 4, &rec)));
    EXPECT_EQ(Logs(), (std::vector<std::string>{
                          "22|SshsMsgDef_ForwardPort_unpack_non_root|[ZIRKO]:Param invalid(null, 12, nonNull)",
                          "22|SshcMsgDef_FileTrans_unpack_non_root|[ZIRKO]:Param invalid(nonNull, 1, nonNull)"}));
    EXPECT_EQ(rec.field0, 3u);
}

TEST_F(LibTest, ReleaseIsIdempotentAndIgnoresNull) {
    const Bytes buf =
        Hex("0e000000 0a00 1f00 0400 0000 0800 0a000000 08000000 0b000000 02000000 616200 02000000 "
            "10000000 1c000000 0800 0800 0400 0000 08000000 05000000 0800 0c00 0400 0800 08000000 "
            "07000000 09000000");
    SshsMsgDef_PortList rec;
    SshsMsgDef_PortList__unpack(buf.data(), static_cast<uint32_t>(buf.size()), &rec);
    SshsMsgDef_PortList_free__unpacked(&rec);
    SshsMsgDef_PortList_free__unpacked(&rec);
    SshsMsgDef_PortList_free__unpacked(nullptr);
    SshsMsgDef_ForwardPort_free__unpacked(nullptr);
    EXPECT_EQ(kPortList.describe(&rec), "{null, null, 2:null}");
    // Two allocations and three frees (two strings, the array) on the first release;
    // the second hands both null strings to cacheFree and skips the array.
    EXPECT_EQ(rec_count_kind(REC_CACHE_ALLOC), 2u);
    EXPECT_EQ(rec_count_kind(REC_FREE), 5u);
}

}  // namespace
