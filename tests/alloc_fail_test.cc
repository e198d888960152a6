// Every allocation of a decode fails in turn: the decode logs the failed size
// once with code 12 in its decoder's format, owns nothing afterwards, and every
// block taken before the failure has gone back exactly once (the fixture checks
// tags and second arguments of every free). Send buffers fail the same way.
#include "support.h"

namespace {

char *S(const char *s) { return const_cast<char *>(s); }

SshsMsgDef_ForwardPort gPorts[] = {{22, 2222}, {80, 8080}, {443, 8443}};
SshcMsgDef_ConnectPara kPara = {S("host.example.org"),
                                22,
                                S("operator"),
                                3,
                                S("/home/operator/.ssh/id_ed25519"),
                                S("aes128-ctr,aes256-ctr,chacha20-poly1305"),
                                S("welcome"),
                                30000};

struct Realistic {
    const Codec &codec;
    void (*fill)(void *);
    int allocations;
};

const Realistic kRecords[] = {
    {kFileTrans,
     [](void *r) {
         *(SshcMsgDef_FileTrans *)r = {7, S("/home/user/file.txt"), S("/tmp/"), 9};
     },
     2},
    {kFileDir,
     [](void *r) {
         *(SshcMsgDef_FileDir *)r = {S("/var/log"), 1, 2, 3, S("*.log")};
     },
     2},
    {kConnectPara, [](void *r) { *(SshcMsgDef_ConnectPara *)r = kPara; }, 5},
    {kSftpci,
     [](void *r) {
         *(SshcMsgDef_SftpciMessage *)r = {1, 2, 3, 4, kPara, {S("/srv"), 5, 6, 7, S("")}, {8, S("a"), S("b"), 9}};
     },
     9},
    {kPortList,
     [](void *r) {
         *(SshsMsgDef_PortList *)r = {S("lo"), S("eth0"), 3, gPorts};
     },
     3},
    {kTcpForword,
     [](void *r) {
         *(SshsMsgDef_TcpForwordMessage *)r = {1, 2, 3, 4, {S("lo"), S(""), 3, gPorts}};
     },
     3},
    {kForwardPort,
     [](void *r) {
         *(SshsMsgDef_ForwardPort *)r = {1, 2};
     },
     0},
};

bool PlainNested(const char *tag) {
    return strcmp(tag, "SshcMsgDef_ConnectPara_unpack_non_root") == 0 ||
           strcmp(tag, "SshsMsgDef_PortList_unpack_non_root") == 0;
}

class AllocFailTest : public LibTest, public ::testing::WithParamInterface<Realistic> {};

TEST_P(AllocFailTest, EveryDecodeAllocationFailsCleanly) {
    const Realistic &r = GetParam();
    Storage in, out;
    r.fill(in.get());
    const Bytes buf = Pack(r.codec, in.get());
    for (int k = 0; k <= r.allocations; ++k) {
        rec_reset();
        rec_fail_alloc_at(k);
        r.codec.unpack(buf.data(), static_cast<uint32_t>(buf.size()), out.get());
        EXPECT_EQ(rec_count_kind(REC_CACHE_ALLOC), static_cast<size_t>(std::min(k + 1, r.allocations)));
        if (k == r.allocations) {  // nothing failed
            EXPECT_EQ(r.codec.describe(out.get()), r.codec.describe(in.get()));
            EXPECT_TRUE(Logs().empty());
        } else {
            const RecEvent *failed = rec_find(REC_CACHE_ALLOC, k);
            ASSERT_EQ(failed->ptr, nullptr);
            char text[128];
            snprintf(text, sizeof text, "[ZIRKO]:Malloc unpack data unsuccess,%ssize(%u)",
                     PlainNested(failed->tag) ? "                " : " ", failed->a);
            EXPECT_EQ(Logs(), std::vector<std::string>{"12|" + std::string(failed->tag) + "|" + text});
            const std::string after = r.codec.describe(out.get());
            EXPECT_EQ(after.find('"'), std::string::npos) << after;   // no string survives
            EXPECT_EQ(after.find(":["), std::string::npos) << after;  // nor the array
            EXPECT_EQ(rec_live_blocks(), 0) << "at allocation " << k;
        }
        r.codec.release(out.get());
        EXPECT_EQ(rec_free_errors(), 0) << "at allocation " << k;
    }
}

TEST_P(AllocFailTest, SendBufferFailureSendsNothing) {
    const Realistic &r = GetParam();
    Storage recs[2];
    r.fill(recs[0].get());
    r.fill(recs[1].get());
    const bool fixed = &r.codec == &kForwardPort;  // its single send needs no buffer
    for (int batch = fixed ? 1 : 0; batch < 2; ++batch) {
        rec_reset();
        rec_fail_alloc_at(0);
        // Records of one message lie back to back at their record size in an array.
        Bytes array(2 * r.codec.size);
        memcpy(array.data(), recs[0].bytes, r.codec.size);
        memcpy(array.data() + r.codec.size, recs[1].bytes, r.codec.size);
        EXPECT_EQ(r.codec.sendmsg(1, array.data(), batch + 1), SSH_MSG_DEF_ERROR);
        EXPECT_EQ(rec_count_kind(REC_MEM_ALLOC), 1u);
        EXPECT_EQ(rec_count_kind(REC_SEND), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Messages, AllocFailTest, ::testing::ValuesIn(kRecords),
                         [](const auto &info) { return std::string(info.param.codec.name); });

}  // namespace
