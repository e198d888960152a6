// Acceptance rules, in order: each row corrupts a valid encoding (or the call's
// arguments) and states the one log line expected, if any, and the record
// afterwards. The output record starts as a copy of the encoded record (string
// literals, not heap), so "untouched", "zeroed" and "released with the scalars
// read so far" are told apart.
#include <string.h>

#include "internal.h"
#include "support.h"

namespace {

SshsMsgDef_ForwardPort gPorts[] = {{5, 0}, {7, 9}};
const SshcMsgDef_FileTrans kFt = {1, S("ab"), nullptr, 0};                             // 35 bytes, table at 16
const SshcMsgDef_ConnectPara kCp = {S("a"), 5, S("b"), 0, 0, 0, 0, 0};                 // 52 bytes, "b" length at 46
const SshsMsgDef_PortList kPl = {S("ab"), nullptr, 2, gPorts};                         // the 81-byte list
const SshsMsgDef_TcpForwordMessage kTf = {1, 0, 3, 0, {S("ab"), nullptr, 2, gPorts}};  // 111 bytes
const SshsMsgDef_ForwardPort kFp = {22, 8080};
const SshcMsgDef_SftpciMessage kSm = {
    1, 0, 0, 0, {S("a"), 5, 0, 0, 0, 0, S("c"), 0}, {S("dirname"), 0, 0, 0, 0}, {0, S("t"), 0, 0}};

struct Patch {
    int32_t at;  // from the buffer start, or from `marker` when given
    uint32_t value;
    int width;  // 0: no patch
    const char *marker = nullptr;
};

// How the decoder is called, where not plainly.
struct Call {
    int64_t len = -1;  // the length passed, when not the buffer's
    bool nullBuf = false;
    bool nullRec = false;
    long failAlloc = -1;  // the allocation made to fail, counted from 0
};

struct Rule {
    const char *what;
    const Codec *codec;
    const void *record;  // encoded to give the buffer, and the output's initial state
    Patch patch;
    const char *log;    // "CODE TAG TEXT" (a bare TEXT is a FileTrans root line), or "" for none
    const char *after;  // the record afterwards
    Call call = {};
};
void PrintTo(const Rule &p, std::ostream *os) { *os << p.what; }

constexpr const char *kFtKept = "{1, \"ab\", null, 0}";
constexpr const char *kFtScalar = "{1, null, null, 0}";
constexpr const char *kCpZero = "{null, 0, null, 0, null, null, null, 0}";
constexpr const char *kListFailed = "{null, null, 2:null}";
constexpr const char *kListEmpty = "{null, null, 0:null}";
constexpr const char *kForward = "22 SshsMsgDef_ForwardPort_unpack_non_root [ZIRKO]:";
#define CP_ROOT "22 SshcMsgDef_ConnectPara_unpack_non_root [ZIRKO]:"

// clang-format off
const Rule kRules[] = {
    {"null buffer", &kFileTrans, &kFt, {}, "Param invalid(null, 12, nonNull)", kFtKept, {.len = 12, .nullBuf = true}},
    {"len 2^31", &kFileTrans, &kFt, {}, "Param invalid(nonNull, -2147483648, nonNull)", kFtKept, {.len = 0x80000000}},
    {"len 3", &kFileTrans, &kFt, {}, "Param invalid(nonNull, 3, nonNull)", kFtKept, {.len = 3}},
    {"len 4", &kFileTrans, &kFt, {}, "Table offset(16) is out of range(4 - 4)", kFtKept, {.len = 4}},
    {"null record", &kFileTrans, &kFt, {}, "Param invalid(nonNull, 35, null)", "", {.nullRec = true}},
    {"root 2", &kFileTrans, &kFt, {0, 2, 4}, "Table offset(2) is out of range(4 - 35)", kFtKept},
    {"root 3", &kFileTrans, &kFt, {0, 3, 4}, "Table offset(3) is out of range(4 - 35)", kFtKept},
    {"root len-3", &kFileTrans, &kFt, {0, 32, 4}, "Table offset(32) is out of range(4 - 35)", kFtKept},
    {"vtable at 2", &kFileTrans, &kFt, {16, 14, 4}, "Vtable offset(2) is out of range(4 - 31)", kFtKept},
    {"vtable after end", &kFileTrans, &kFt, {16, 0xFFFFFFF0, 4}, "Vtable offset(32) is out of range(4 - 31)", kFtKept},
    {"vtable wraps", &kFileTrans, &kFt, {16, 17, 4}, "Vtable offset(4294967295) is out of range(4 - 31)", kFtKept},
    {"vtable too long", &kFileTrans, &kFt, {4, 32, 2}, "Vtable Len(32) is out of range(0 - 31)", kFtKept},
    {"vtable to the end", &kFileTrans, &kFt, {4, 31, 2}, "", kFtKept},
    {"scalar past end", &kFileTrans, &kFt, {8, 0xFFFF, 2}, "", "{0, null, null, 0}"},
    {"string slot past end", &kFileTrans, &kFt, {10, 20, 2}, "", kFtScalar},
    {"string offset wraps", &kFileTrans, &kFt, {24, 0xFFFFFFF0, 4}, "", kFtScalar},
    {"string offset wraps onto field0", &kFileTrans, &kFt, {24, 0xFFFFFFFC, 4}, "", kFtScalar},
    {"string past end", &kFileTrans, &kFt, {24, 8, 4}, "", kFtScalar},
    {"string too long", &kFileTrans, &kFt, {28, 4, 4}, "", kFtScalar},
    {"string length wraps", &kFileTrans, &kFt, {28, 0xFFFFFFFF, 4}, "", kFtScalar},
    {"second string fails", &kFileTrans, &kFt, {12, 16, 2}, "", kFtScalar},
    {"no memory for a string", &kFileTrans, &kFt, {},
     "12 SshcMsgDef_FileTrans_unpack [ZIRKO]:Malloc unpack data unsuccess, size(3)", kFtScalar, {.failAlloc = 0}},
    {"delegating null buffer", &kConnectPara, &kCp, {},
     "22 SshcMsgDef_ConnectPara_unpack [ZIRKO]:Param invalid(null, 52, nonNull)",
     "{\"a\", 5, \"b\", 0, null, null, null, 0}", {.nullBuf = true}},
    {"delegating root 2", &kConnectPara, &kCp, {0, 2, 4}, CP_ROOT "Table offset(2) is out of range(4 - 52)", kCpZero},
    {"delegating vtable", &kConnectPara, &kCp, {4, 60, 2}, CP_ROOT "Vtable Len(60) is out of range(0 - 48)", kCpZero},
    {"delegating field", &kConnectPara, &kCp, {46, 100, 4}, "", "{null, 5, null, 0, null, null, null, 0}"},
    {"nested string", &kSftpciMessage, &kSm, {-4, 1000, 4, "dirname"}, "",
     "{1, 0, 0, 0, {null, 5, null, 0, null, null, null, 0}, {null, 0, 0, 0, null}, {0, null, null, 0}}"},
    {"element table", &kPortList, &kPl, {41, 0x1000, 4}, "Table offset(4137) is out of range(4 - 81)", kListFailed},
    {"element offset wraps", &kPortList, &kPl, {37, 0xFFFFFFF0, 4}, "", kListFailed},
    {"no memory for a list", &kPortList, &kPl, {},
     "12 SshsMsgDef_PortList_unpack_non_root [ZIRKO]:Malloc unpack data unsuccess,                size(16)",
     kListFailed, {.failAlloc = 1}},
    {"count 2^30", &kPortList, &kPl, {33, 0x40000000, 4}, "", kListEmpty},
    {"count past end", &kPortList, &kPl, {33, 20, 4}, "", kListEmpty},
    {"count word past end", &kPortList, &kPl, {22, 0x100, 4}, "", kListEmpty},
    {"list offset wraps", &kPortList, &kPl, {22, 0xFFFFFFFF, 4}, "", kListEmpty},
    {"nested list element", &kTcpForwordMessage, &kTf, {71, 0x1000, 4}, "Table offset(4167) is out of range(4 - 111)",
     "{1, 0, 3, 0, {null, null, 2:null}}"},
    {"no slot 4", &kTcpForwordMessage, &kTf, {4, 12, 2}, "", "{1, 0, 3, 0, {null, null, 0:null}}"},
    {"dense table cut short", &kForwardPort, &kFp, {}, "", "{22, 0}", {.len = 23}},
    {"self-contained vtable", &kForwardPort, &kFp, {12, 20, 4},
     "22 SshsMsgDef_ForwardPort_unpack [ZIRKO]:Vtable offset(4294967288) is out of range(4 - 20)", "{22, 8080}"},
};
// clang-format on

class DecodeRuleTest : public LibTest, public ::testing::WithParamInterface<Rule> {};

TEST_P(DecodeRuleTest, RejectsWithItsLogAndRecordState) {
    const Rule &r = GetParam();
    Bytes buf = Pack(*r.codec, r.record);
    if (r.patch.width) {
        const size_t from = r.patch.marker ? std::string(buf.begin(), buf.end()).find(r.patch.marker) : 0;
        ASSERT_LE(from + r.patch.at + r.patch.width, buf.size());
        PutLe(buf.data() + from + r.patch.at, r.patch.value, r.patch.width);
    }
    Storage out;
    memset(out.bytes, 0xA5, sizeof out.bytes);  // past the record: must stay as it is
    memcpy(out.bytes, r.record, r.codec->size);
    rec_reset();
    rec_fail_alloc_at(r.call.failAlloc);
    const uint32_t len = r.call.len >= 0 ? static_cast<uint32_t>(r.call.len) : static_cast<uint32_t>(buf.size());
    EXPECT_EQ(r.codec->unpack(r.call.nullBuf ? nullptr : buf.data(), len, r.call.nullRec ? nullptr : out.get()),
              r.codec->size);
    std::string log = r.log;
    if (!log.empty() && !isdigit(log[0]))
        log = (r.codec == &kFileTrans ? "22 SshcMsgDef_FileTrans_unpack [ZIRKO]:" : kForward) + log;
    EXPECT_EQ(Logs(), log.empty() ? Lines{} : Lines{log});
    if (!r.call.nullRec) {
        EXPECT_EQ(r.codec->describe(out.get()), r.after);
    }
    EXPECT_EQ(Bytes(out.bytes + r.codec->size, std::end(out.bytes)), Bytes(sizeof out.bytes - r.codec->size, 0xA5));
    if (memcmp(out.bytes, r.record, r.codec->size) != 0) r.codec->release(out.get());
}

INSTANTIATE_TEST_SUITE_P(Rules, DecodeRuleTest, ::testing::ValuesIn(kRules), [](const auto &info) {
    std::string n = info.param.what;
    for (char &c : n) c = isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return n;
});

TEST_F(LibTest, ReleaseIsIdempotentAndIgnoresNull) {
    SshcMsgDef_FileTrans none{};
    SshcMsgDef_FileTrans_free__unpacked(&none);  // a module's first call: the layer's cache pair is bound
    SshsMsgDef_PortList rec;
    const Bytes buf = Pack(kPortList, &kPl);
    SshsMsgDef_PortList__unpack(buf.data(), static_cast<uint32_t>(buf.size()), &rec);
    for (int i = 0; i < 2; ++i) SshsMsgDef_PortList_free__unpacked(&rec);
    SshsMsgDef_PortList_free__unpacked(nullptr);
    SshsMsgDef_ForwardPort_free__unpacked(nullptr);
    EXPECT_EQ(kPortList.describe(&rec), kListFailed);
    const std::string tag = "0xc SshsMsgDef_PortList_free_unpacked";  // strings always reach cacheFree, arrays once
    EXPECT_EQ(
        Trace(),
        (Lines{"free 0xc SshcMsgDef_FileTrans_free_unpacked null", "free 0xc SshcMsgDef_FileTrans_free_unpacked null",
               "cache 3 0xc SshsMsgDef_PortList_unpack_non_root", "cache 16 0xc SshsMsgDef_PortList_unpack_non_root",
               "free " + tag, "free " + tag + " null", "free " + tag, "free " + tag + " null",
               "free " + tag + " null"}));
}

}  // namespace

namespace {

// A failed FileDir inside SftpciMessage gives back its own strings before the
// parent's release routine runs over the whole record.
TEST_F(LibTest, GuardedNestedDecoderReleasesItsOwnRecordFirst) {
    SshcMsgDef_SftpciMessage rec = kSm;
    rec.fileDir.field4 = S("tail");
    Bytes buf = Pack(kSftpciMessage, &rec);
    PutLe(buf.data() + std::string(buf.begin(), buf.end()).find("tail") - 4, 1000, 4);
    rec_reset();
    SshcMsgDef_SftpciMessage__unpack(buf.data(), static_cast<uint32_t>(buf.size()), &rec);
    Lines frees;
    for (const std::string &line : Trace()) {
        if (line.rfind("free 0xc SshcMsgDef_", 0) == 0) frees.push_back(line.substr(20));
    }
    const char *fd = "FileDir_free_unpacked", *cp = "ConnectPara_free_unpacked", *ft = "FileTrans_free_unpacked";
    const auto null = [](const char *tag) { return std::string(tag) + " null"; };
    EXPECT_EQ(frees,
              (Lines{fd, null(fd), cp, null(cp), null(cp), null(cp), cp, null(fd), null(fd), null(ft), null(ft)}));
}

}  // namespace
