// Every allocation of a decode fails in turn: the decode logs the failed size
// once with code 12 in its decoder's format, owns nothing afterwards, and every
// block taken before the failure has gone back exactly once (the fixture checks
// tags and second arguments of every free). Send buffers fail the same way.
#include "support.h"

namespace {

char *S(const char *s) { return const_cast<char *>(s); }

SshsMsgDef_ForwardPort gPorts[] = {{22, 2222}, {80, 8080}, {443, 8443}};
const SshcMsgDef_ConnectPara kCp = {S("host.example.org"),
                                    22,
                                    S("operator"),
                                    3,
                                    S("/home/operator/.ssh/id_ed25519"),
                                    S("aes128-ctr,aes256-ctr,chacha20-poly1305"),
                                    S("welcome"),
                                    30000};
const SshcMsgDef_FileTrans kFt = {7, S("/home/user/file.txt"), S("/tmp/"), 9};
const SshcMsgDef_FileDir kFd = {S("/var/log"), 1, 2, 3, S("*.log")};
const SshcMsgDef_SftpciMessage kSm = {1, 2, 3, 4, kCp, {S("/srv"), 5, 6, 7, S("")}, {8, S("a"), S("b"), 9}};
const SshsMsgDef_PortList kPl = {S("lo"), S("eth0"), 3, gPorts};
const SshsMsgDef_TcpForwordMessage kTf = {1, 2, 3, 4, {S("lo"), S(""), 3, gPorts}};
const SshsMsgDef_ForwardPort kFp = {1, 2};

struct Realistic {
    const Codec *codec;
    const void *record;
    int allocations;  // blocks a decode takes
};
void PrintTo(const Realistic &p, std::ostream *os) { *os << p.codec->name; }

const Realistic kRecords[] = {{&kFileTrans, &kFt, 2},  {&kFileDir, &kFd, 2},  {&kConnectPara, &kCp, 5},
                              {&kSftpci, &kSm, 9},     {&kPortList, &kPl, 3}, {&kTcpForword, &kTf, 3},
                              {&kForwardPort, &kFp, 0}};

class AllocFailTest : public LibTest, public ::testing::WithParamInterface<Realistic> {};

TEST_P(AllocFailTest, EveryDecodeAllocationFailsCleanly) {
    const Codec &c = *GetParam().codec;
    const int n = GetParam().allocations;
    const Bytes buf = Pack(c, GetParam().record);
    Storage out;
    for (int k = 0; k <= n; ++k) {
        rec_reset();
        rec_fail_alloc_at(k);
        c.unpack(buf.data(), static_cast<uint32_t>(buf.size()), out.get());
        EXPECT_EQ(rec_count_kind(REC_CACHE_ALLOC), static_cast<size_t>(std::min(k + 1, n)));
        if (k == n) {  // nothing failed
            EXPECT_EQ(c.describe(out.get()), c.describe(GetParam().record));
            EXPECT_EQ(Logs(), Lines{});
        } else {
            const RecEvent *failed = rec_find(REC_CACHE_ALLOC, k);
            ASSERT_EQ(failed->ptr, nullptr);
            // Plain nested decoders (ConnectPara, PortList) log the wide form of the message.
            const bool wide =
                strstr(failed->tag, "ConnectPara_unpack_non_root") || strstr(failed->tag, "PortList_unpack_non_root");
            EXPECT_EQ(Logs(), Lines{"12 " + std::string(failed->tag) + " [ZIRKO]:Malloc unpack data unsuccess," +
                                    (wide ? std::string(16, ' ') : " ") + "size(" + std::to_string(failed->a) + ")"});
            const std::string after = c.describe(out.get());
            EXPECT_EQ(after.find_first_of("\"["), std::string::npos) << after;  // no string nor array survives
            EXPECT_EQ(rec_live_blocks(), 0) << "at allocation " << k;
        }
        c.release(out.get());
        EXPECT_EQ(rec_free_errors(), 0) << "at allocation " << k;
    }
}

TEST_P(AllocFailTest, SendBufferFailureSendsNothing) {
    const Codec &c = *GetParam().codec;
    Bytes array(2 * c.size);
    for (int i = 0; i < 2; ++i) memcpy(array.data() + i * c.size, GetParam().record, c.size);
    for (uint32_t count = &c == &kForwardPort ? 2 : 1; count <= 2; ++count) {  // a ForwardPort single takes no buffer
        rec_reset();
        rec_fail_alloc_at(0);
        EXPECT_EQ(c.sendmsg(1, array.data(), count), SSH_MSG_DEF_ERROR);
        EXPECT_EQ(Trace().size(), 1u);  // the failed allocation only: nothing sent, nothing to free
    }
}

INSTANTIATE_TEST_SUITE_P(Messages, AllocFailTest, ::testing::ValuesIn(kRecords),
                         [](const auto &info) { return std::string(info.param.codec->name); });

}  // namespace
