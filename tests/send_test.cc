// Send paths and registration: descriptors and block layout exactly as handed
// to the framework, all-or-nothing batches at the 65536-byte boundary, the
// fixed ForwardPort image, framework results passed back, and every block
// released once (checked by the fixture).
#include "support.h"

namespace {

char *S(const char *s) { return const_cast<char *>(s); }

SshsMsgDef_ForwardPort gPorts[] = {{5, 0}, {7, 9}};

struct Sample {
    const Codec &codec;
    void (*fill)(void *);
};

const Sample kSamples[] = {
    {kFileTrans,
     [](void *r) {
         *(SshcMsgDef_FileTrans *)r = {1, S("ab"), nullptr, 2};
     }},
    {kFileDir,
     [](void *r) {
         *(SshcMsgDef_FileDir *)r = {S("d"), 1, 0, 3, nullptr};
     }},
    {kConnectPara, [](void *r) { *(SshcMsgDef_ConnectPara *)r = {S("h"), 22, 0, 0, 0, 0, S("x"), 1}; }},
    {kSftpci, [](void *r) { ((SshcMsgDef_SftpciMessage *)r)->fileTrans.field1 = S("f"); }},
    {kPortList,
     [](void *r) {
         *(SshsMsgDef_PortList *)r = {S("ab"), nullptr, 2, gPorts};
     }},
    {kTcpForword,
     [](void *r) {
         *(SshsMsgDef_TcpForwordMessage *)r = {1, 0, 3, 0, {S("x"), 0, 2, gPorts}};
     }},
};

class SendTest : public LibTest, public ::testing::WithParamInterface<Sample> {};

TEST_P(SendTest, SingleSendIsExactlySizedAndResultPassesThrough) {
    const Codec &c = GetParam().codec;
    Storage rec;
    GetParam().fill(rec.get());
    const Bytes want = Pack(c, rec.get());
    const struct {
        uint64_t target;
        uint32_t result;
    } kCalls[] = {{0, 0}, {5, 7}, {0, 0xFFFFFFFF}};
    for (const auto &call : kCalls) {
        rec_reset();
        rec_set_send_result(call.result);
        EXPECT_EQ(c.sendtomsg(9, rec.get(), 1, call.target), call.result);
        const RecEvent *alloc = rec_find(REC_MEM_ALLOC, 0);
        const RecEvent *send = rec_find(REC_SEND, 0);
        ASSERT_TRUE(alloc && send);
        EXPECT_EQ(alloc->a, want.size());
        EXPECT_EQ(alloc->b, 0x6200u);
        EXPECT_EQ(std::string(alloc->tag), std::string(c.name) + "__sendsingle");
        EXPECT_EQ(send->a, 9u);
        EXPECT_EQ(send->b, 1u);
        EXPECT_EQ(send->sendTo, call.target != 0);
        EXPECT_EQ(send->target, call.target);
        EXPECT_EQ(send->descs[0].buffer, alloc->ptr);
        EXPECT_EQ(send->descs[0].msgId, c.id);
        EXPECT_EQ(Bytes(send->data, send->data + send->descs[0].length), want);
        EXPECT_EQ(rec_count_kind(REC_FREE), 1u);
    }
}

TEST_P(SendTest, BatchPacksBackToBackAndRefusesNullAndEmpty) {
    const Codec &c = GetParam().codec;
    Bytes array(3 * c.size);
    for (int i = 0; i < 3; ++i) GetParam().fill(array.data() + i * c.size);
    const Bytes one = Pack(c, array.data());
    EXPECT_EQ(c.sendmsg(1, array.data(), 3), 0u);
    const RecEvent *alloc = rec_find(REC_MEM_ALLOC, 0);
    const RecEvent *send = rec_find(REC_SEND, 0);
    ASSERT_TRUE(alloc && send);
    EXPECT_EQ(alloc->a, 65536u + 3 * 16);
    EXPECT_EQ(std::string(alloc->tag), std::string(c.name) + "__sendbatch");
    EXPECT_EQ(send->ptr, static_cast<const uint8_t *>(alloc->ptr) + 65536);
    for (uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(send->descs[i].buffer, static_cast<const uint8_t *>(alloc->ptr) + i * one.size());
        EXPECT_EQ(send->descs[i].length, one.size());
        EXPECT_EQ(Bytes(rec_sent_bytes(send, i), rec_sent_bytes(send, i) + one.size()), one);
    }
    rec_reset();
    EXPECT_EQ(c.sendmsg(1, array.data(), 0), SSH_MSG_DEF_ERROR);
    EXPECT_EQ(c.sendtomsg(1, array.data(), 0, 5), SSH_MSG_DEF_ERROR);
    EXPECT_EQ(c.sendsingle(1, nullptr, 0, 0), SSH_MSG_DEF_ERROR);
    EXPECT_EQ(rec_count(), 0u);
    EXPECT_EQ(c.sendbatch(1, nullptr, 2, 0), SSH_MSG_DEF_ERROR);                // the block is taken and given back
    EXPECT_EQ(c.sendbatch(1, array.data(), 0x0FFFF000, 0), SSH_MSG_DEF_ERROR);  // block size beyond 32 bits
    EXPECT_EQ(rec_count_kind(REC_MEM_ALLOC), 1u);
    EXPECT_EQ(rec_count_kind(REC_SEND), 0u);
    EXPECT_EQ(c.sendbatch(1, array.data(), 0, 0), 0u);  // a direct empty batch reaches the framework
    EXPECT_EQ(rec_find(REC_SEND, 0)->b, 0u);
}

INSTANTIATE_TEST_SUITE_P(Messages, SendTest, ::testing::ValuesIn(kSamples),
                         [](const auto &info) { return std::string(info.param.codec.name); });

TEST_F(LibTest, BatchOfExactly65536IsSentAndOneByteMoreIsNot) {
    // Two FileTrans with one string each: 2 * (29 + L) bytes.
    std::string text(32739, 'x');
    SshcMsgDef_FileTrans recs[2] = {{0, text.data(), nullptr, 0}, {0, text.data(), nullptr, 0}};
    EXPECT_EQ(SshcMsgDef_FileTrans__sendbatch(1, recs, 2, 0), 0u);
    ASSERT_EQ(rec_count_kind(REC_SEND), 1u);
    EXPECT_EQ(rec_find(REC_SEND, 0)->descs[1].length, 32768u);
    std::string longer = text + 'x';
    recs[1].field1 = longer.data();
    EXPECT_EQ(SshcMsgDef_FileTrans__sendbatch(1, recs, 2, 0), SSH_MSG_DEF_ERROR);
    EXPECT_EQ(rec_count_kind(REC_SEND), 1u);

    std::vector<SshsMsgDef_PortList> lists(3, SshsMsgDef_PortList{longer.data(), nullptr, 0, nullptr});
    EXPECT_EQ(SshsMsgDef_PortList__sendmsg(1, lists.data(), 3), SSH_MSG_DEF_ERROR);
    std::vector<SshcMsgDef_FileTrans> many(5000);
    EXPECT_EQ(SshcMsgDef_FileTrans__sendmsg(1, many.data(), 5000), SSH_MSG_DEF_ERROR);
    EXPECT_EQ(rec_count_kind(REC_SEND), 1u);
}

TEST_F(LibTest, ForwardPortGoesAsFixedImages) {
    const SshsMsgDef_ForwardPort zero{0, 0};
    EXPECT_EQ(SshsMsgDef_ForwardPort__sendtomsg(3, &zero, 1, 8), 0u);
    const RecEvent *send = rec_find(REC_SEND, 0);
    EXPECT_EQ(Bytes(send->data, send->data + 24), Hex("04000000 f4ffffff 00000000 00000000 0800 0c00 0400 0800"));
    EXPECT_EQ(send->descs[0].msgId, 0xC27650FAu);
    EXPECT_TRUE(send->sendTo);
    EXPECT_EQ(rec_count_kind(REC_MEM_ALLOC), 0u);

    std::vector<SshsMsgDef_ForwardPort> ports(5000, SshsMsgDef_ForwardPort{22, 8080});
    rec_reset();
    EXPECT_EQ(SshsMsgDef_ForwardPort__sendmsg(3, ports.data(), 2), 0u);
    const RecEvent *alloc = rec_find(REC_MEM_ALLOC, 0);
    send = rec_find(REC_SEND, 0);
    EXPECT_EQ(alloc->a, 80u);
    EXPECT_EQ(std::string(alloc->tag), "SshsMsgDef_ForwardPort__sendbatch");
    EXPECT_EQ(send->ptr, static_cast<const uint8_t *>(alloc->ptr) + 48);
    EXPECT_EQ(send->descs[1].buffer, static_cast<const uint8_t *>(alloc->ptr) + 24);
    EXPECT_EQ(Bytes(rec_sent_bytes(send, 1), rec_sent_bytes(send, 1) + 24),
              Hex("04000000 F4FFFFFF 16000000 901F0000 0800 0C00 0400 0800"));

    rec_reset();
    EXPECT_EQ(SshsMsgDef_ForwardPort__sendmsg(3, ports.data(), 5000), 0u);
    EXPECT_EQ(rec_find(REC_MEM_ALLOC, 0)->a, 200000u);
    EXPECT_EQ(rec_find(REC_SEND, 0)->b, 5000u);
    rec_reset();
    EXPECT_EQ(SshsMsgDef_ForwardPort__sendsingle(3, nullptr, 0, 0), SSH_MSG_DEF_ERROR);
    EXPECT_EQ(SshsMsgDef_ForwardPort__sendbatch(3, nullptr, 2, 0), SSH_MSG_DEF_ERROR);
    EXPECT_EQ(SshsMsgDef_ForwardPort__sendbatch(3, ports.data(), 0x6666667, 0), SSH_MSG_DEF_ERROR);  // 40 * n > 2^32
    EXPECT_EQ(rec_count(), 0u);
    EXPECT_EQ(SshsMsgDef_ForwardPort__sendbatch(3, ports.data(), 0, 0), 0u);
    EXPECT_EQ(rec_find(REC_MEM_ALLOC, 0)->a, 0u);
}

TEST_F(LibTest, RegistrationOrderEarlyStopAndStatus) {
    using Fn = const void *;
    const struct {
        uint32_t (*init)(void);
        std::vector<uint32_t> results;
        std::vector<std::pair<uint32_t, Fn>> offered;  // identifier and decoder, in order
        uint32_t status;
    } kCases[] = {
        {sshc_msg_def_recv_init,
         {},
         {{0x9B687FAC, (Fn)SshcMsgDef_FileTrans__unpack},
          {0xD2FEFB89, (Fn)SshcMsgDef_FileDir__unpack},
          {0x767BF3F4, (Fn)SshcMsgDef_ConnectPara__unpack},
          {0x21B17658, (Fn)SshcMsgDef_SftpciMessage__unpack}},
         0},
        {sshc_msg_def_recv_init,
         {0, 7},
         {{0x9B687FAC, (Fn)SshcMsgDef_FileTrans__unpack}, {0xD2FEFB89, (Fn)SshcMsgDef_FileDir__unpack}},
         7},
        {sshc_msg_def_recv_init,
         {0, 0, 0, 9},
         {{0x9B687FAC, (Fn)SshcMsgDef_FileTrans__unpack},
          {0xD2FEFB89, (Fn)SshcMsgDef_FileDir__unpack},
          {0x767BF3F4, (Fn)SshcMsgDef_ConnectPara__unpack},
          {0x21B17658, (Fn)SshcMsgDef_SftpciMessage__unpack}},
         9},
        {sshs_msg_def_recv_init,
         {},
         {{0x71670B77, (Fn)SshsMsgDef_PortList__unpack},
          {0xC27650FA, (Fn)SshsMsgDef_ForwardPort__unpack},
          {0x70030D61, (Fn)SshsMsgDef_TcpForwordMessage__unpack}},
         0},
        {sshs_msg_def_recv_init, {3}, {{0x71670B77, (Fn)SshsMsgDef_PortList__unpack}}, 3},
    };
    for (const auto &c : kCases) {
        rec_reset();
        rec_set_reg_results(c.results.data(), c.results.size());
        EXPECT_EQ(c.init(), c.status);
        ASSERT_EQ(rec_count(), c.offered.size());
        for (size_t i = 0; i < c.offered.size(); ++i) {
            EXPECT_EQ(rec_event(i)->a, c.offered[i].first);
            EXPECT_EQ(rec_event(i)->ptr, c.offered[i].second);
        }
    }
    EXPECT_EQ(rec_event(0)->ptr2, (Fn)SshsMsgDef_PortList_free__unpacked);
    rec_reset();
    rec_set_clean_result(4);
    EXPECT_EQ(sshc_msg_def_send_init(), 4u);
    EXPECT_EQ(sshs_msg_def_send_init(), 4u);
    EXPECT_EQ(rec_event(0)->ptr, (Fn)sshc_msg_def__send_resource_clean);
    EXPECT_EQ(rec_event(1)->ptr, (Fn)sshs_msg_def__send_resource_clean);
    sshc_msg_def__send_resource_clean();
    sshs_msg_def__send_resource_clean();
    EXPECT_EQ(rec_count(), 2u);
}

TEST(Identifiers, AreFnv1aOfQualifiedNames) {
    const std::pair<const char *, uint32_t> kIds[] = {{"SshcMsgDef.FileTrans", smd::kFileTrans.msgId},
                                                      {"SshcMsgDef.FileDir", smd::kFileDir.msgId},
                                                      {"SshcMsgDef.ConnectPara", smd::kConnectPara.msgId},
                                                      {"SshcMsgDef.SftpciMessage", smd::kSftpciMessage.msgId},
                                                      {"SshsMsgDef.PortList", smd::kPortList.msgId},
                                                      {"SshsMsgDef.ForwardPort", smd::kForwardPort.msgId},
                                                      {"SshsMsgDef.TcpForwordMessage", smd::kTcpForwordMessage.msgId}};
    for (const auto &[name, id] : kIds) {
        uint32_t h = 0x811C9DC5;
        for (const char *p = name; *p; ++p) h = (h ^ static_cast<uint8_t>(*p)) * 0x01000193;
        EXPECT_EQ(h, id) << name;
    }
}

}  // namespace
