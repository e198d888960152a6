// Send paths and registration: what reaches the framework (descriptors, block
// layout, bytes), all-or-nothing batches at the 65536-byte boundary, the fixed
// ForwardPort image, framework results passed back, and every block released
// once with its tag (the fixture checks the pairing).
#include <sys/mman.h>

#include "support.h"

namespace {

// The messages sent in their compact encoding.
const std::vector<Sample> kVariable = [] {
    std::vector<Sample> out;
    for (const Sample &s : kSamples) {
        if (!s.codec->schema->fixedImage) out.push_back(s);
    }
    return out;
}();

class SendTest : public LibTest, public ::testing::WithParamInterface<Sample> {};

TEST_P(SendTest, SingleSendIsExactlySizedAndPassesTheResultBack) {
    const Codec &c = *GetParam().codec;
    const Bytes want = Pack(c, GetParam().record);
    const std::string single = std::string(c.name) + "__sendsingle";
    const std::pair<uint64_t, uint32_t> kCalls[] = {{0, 0}, {5, 7}, {0, 0xFFFFFFFF}};  // target, framework result
    for (const auto &[target, result] : kCalls) {
        rec_reset();
        rec_set_send_result(result);
        EXPECT_EQ(c.sendtomsg(9, GetParam().record, 1, target), result);
        EXPECT_EQ(Trace(), (Lines{"alloc " + std::to_string(want.size()) + " 0x6200 " + single,
                                  target ? "send 9 x1 to 5" : "send 9 x1", "free 0x6200 " + single}));
        const RecEvent *send = rec_find(REC_SEND, 0);
        EXPECT_EQ(send->descs[0].buffer, rec_find(REC_MEM_ALLOC, 0)->ptr);
        EXPECT_EQ(send->descs[0].msgId, c.id);
        EXPECT_EQ(Bytes(send->data, send->data + send->descs[0].length), want);
    }
}

TEST_P(SendTest, BatchPacksBackToBackOrRefuses) {
    const Codec &c = *GetParam().codec;
    Bytes array(3 * c.size);
    for (int i = 0; i < 3; ++i) memcpy(array.data() + i * c.size, GetParam().record, c.size);
    const Bytes one = Pack(c, GetParam().record);
    const std::string batch = std::string(c.name) + "__sendbatch";
    EXPECT_EQ(c.sendmsg(1, array.data(), 3), 0u);
    EXPECT_EQ(Trace(), (Lines{"alloc 65584 0x6200 " + batch, "send 1 x3", "free 0x6200 " + batch}));
    const auto *block = static_cast<const uint8_t *>(rec_find(REC_MEM_ALLOC, 0)->ptr);
    const RecEvent *send = rec_find(REC_SEND, 0);
    EXPECT_EQ(send->ptr, block + 65536);
    for (uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(send->descs[i].buffer, block + i * one.size());
        EXPECT_EQ(Bytes(rec_sent_bytes(send, i), rec_sent_bytes(send, i) + send->descs[i].length), one);
    }
    rec_reset();
    EXPECT_EQ(c.sendmsg(1, array.data(), 0), SSH_MSG_DEF_ERROR);
    EXPECT_EQ(c.sendtomsg(1, array.data(), 0, 5), SSH_MSG_DEF_ERROR);
    EXPECT_EQ(c.sendsingle(1, nullptr, 0, 0), SSH_MSG_DEF_ERROR);
    EXPECT_EQ(c.sendbatch(1, array.data(), 0x0FFFF000, 0), SSH_MSG_DEF_ERROR);  // block size beyond 32 bits
    rec_fail_alloc_at(0);                                                       // and the largest within them
    EXPECT_EQ(c.sendbatch(1, array.data(), 0x0FFFEFFF, 0), SSH_MSG_DEF_ERROR);
    EXPECT_EQ(c.sendbatch(1, nullptr, 2, 0), SSH_MSG_DEF_ERROR);
    EXPECT_EQ(c.sendbatch(1, array.data(), 0, 0), 0u);  // a direct empty batch reaches the framework
    EXPECT_EQ(Trace(),
              (Lines{"alloc 4294967280 0x6200 " + batch + " -> null", "alloc 65568 0x6200 " + batch,
                     "free 0x6200 " + batch, "alloc 65536 0x6200 " + batch, "send 1 x0", "free 0x6200 " + batch}));
}

INSTANTIATE_TEST_SUITE_P(Messages, SendTest, ::testing::ValuesIn(kVariable),
                         [](const auto &info) { return std::string(info.param.codec->name); });

TEST_F(LibTest, BatchOfExactly65536IsSentAndOneByteMoreIsNot) {
    const std::string text(32739, 'x'), longer = text + 'x';  // two FileTrans of 29 + L bytes each
    SshcMsgDef_FileTrans recs[2] = {{0, S(text.c_str()), nullptr, 0}, {0, S(text.c_str()), nullptr, 0}};
    EXPECT_EQ(SshcMsgDef_FileTrans__sendbatch(1, recs, 2, 0), 0u);
    EXPECT_EQ(rec_find(REC_SEND, 0)->descs[1].length, 32768u);
    recs[1].field1 = S(longer.c_str());
    EXPECT_EQ(SshcMsgDef_FileTrans__sendbatch(1, recs, 2, 0), SSH_MSG_DEF_ERROR);
    const std::vector<SshsMsgDef_PortList> lists(3, SshsMsgDef_PortList{S(longer.c_str()), nullptr, 0, nullptr});
    EXPECT_EQ(SshsMsgDef_PortList__sendmsg(1, lists.data(), 3), SSH_MSG_DEF_ERROR);
    const std::vector<SshcMsgDef_FileTrans> many(5000);
    EXPECT_EQ(SshcMsgDef_FileTrans__sendmsg(1, many.data(), 5000), SSH_MSG_DEF_ERROR);
    EXPECT_EQ(rec_count_kind(REC_SEND), 1u);
}

// An encoding of 2^32 bytes or more is refused before anything is allocated;
// one byte less is attempted (and its allocation made to fail). A list of
// 2^28 - 3 elements (zero pages, only read) and a string of 12 bytes make
// 2^32 - 1 bytes; a string of 13 makes 2^32.
TEST_F(LibTest, SingleSendRefusesAnEncodingOf4GiB) {
    const uint32_t n = (1u << 28) - 3;
    void *zeros = mmap(nullptr, size_t{8} * n, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(zeros, MAP_FAILED);
    SshsMsgDef_PortList list = {S("twelve bytes"), nullptr, n, static_cast<SshsMsgDef_ForwardPort *>(zeros)};
    rec_fail_alloc_at(0);
    EXPECT_EQ(SshsMsgDef_PortList__sendsingle(1, &list, 0, 0), SSH_MSG_DEF_ERROR);
    EXPECT_EQ(Trace(), Lines{"alloc 4294967295 0x6200 SshsMsgDef_PortList__sendsingle -> null"});
    rec_reset();
    rec_fail_alloc_at(0);
    list.field0 = S("thirteen byte");
    EXPECT_EQ(SshsMsgDef_PortList__sendsingle(1, &list, 0, 0), SSH_MSG_DEF_ERROR);
    EXPECT_EQ(Trace(), Lines{});
    munmap(zeros, size_t{8} * n);
}

TEST_F(LibTest, ForwardPortGoesAsFixedImages) {
    const SshsMsgDef_ForwardPort zero{0, 0};
    std::vector<SshsMsgDef_ForwardPort> ports(5000, SshsMsgDef_ForwardPort{22, 8080});
    EXPECT_EQ(SshsMsgDef_ForwardPort__sendtomsg(3, &zero, 1, 8), 0u);
    EXPECT_EQ(SshsMsgDef_ForwardPort__sendmsg(3, ports.data(), 2), 0u);
    EXPECT_EQ(SshsMsgDef_ForwardPort__sendmsg(3, ports.data(), 5000), 0u);
    EXPECT_EQ(SshsMsgDef_ForwardPort__sendsingle(3, nullptr, 0, 0), SSH_MSG_DEF_ERROR);
    EXPECT_EQ(SshsMsgDef_ForwardPort__sendbatch(3, nullptr, 2, 0), SSH_MSG_DEF_ERROR);
    EXPECT_EQ(SshsMsgDef_ForwardPort__sendbatch(3, ports.data(), 0x6666667, 0), SSH_MSG_DEF_ERROR);  // 40n > 2^32
    EXPECT_EQ(SshsMsgDef_ForwardPort__sendbatch(3, ports.data(), 0, 0), 0u);
    const char *tag = "SshsMsgDef_ForwardPort__sendbatch";
    EXPECT_EQ(Trace(), (Lines{"send 3 x1 to 8", "alloc 80 0x6200 " + std::string(tag), "send 3 x2",
                              "free 0x6200 " + std::string(tag), "alloc 200000 0x6200 " + std::string(tag),
                              "send 3 x5000", "free 0x6200 " + std::string(tag), "alloc 0 0x6200 " + std::string(tag),
                              "send 3 x0", "free 0x6200 " + std::string(tag)}));
    const RecEvent *single = rec_find(REC_SEND, 0), *pair = rec_find(REC_SEND, 1);
    EXPECT_EQ(Bytes(single->data, single->data + 24), Hex("04000000 f4ffffff 00000000 00000000 0800 0c00 0400 0800"));
    EXPECT_EQ(single->descs[0].msgId, 0xC27650FAu);
    EXPECT_EQ(pair->ptr, static_cast<const uint8_t *>(rec_find(REC_MEM_ALLOC, 0)->ptr) + 48);
    EXPECT_EQ(pair->descs[1].buffer, static_cast<const uint8_t *>(rec_find(REC_MEM_ALLOC, 0)->ptr) + 24);
    EXPECT_EQ(Bytes(rec_sent_bytes(pair, 1), rec_sent_bytes(pair, 1) + 24),
              Hex("04000000 F4FFFFFF 16000000 901F0000 0800 0C00 0400 0800"));
    rec_reset();
    rec_fail_alloc_at(0);  // the largest batch whose block size fits 32 bits is attempted
    EXPECT_EQ(SshsMsgDef_ForwardPort__sendbatch(3, ports.data(), 0x6666666, 0), SSH_MSG_DEF_ERROR);
    EXPECT_EQ(Trace(), Lines{"alloc 4294967280 0x6200 " + std::string(tag) + " -> null"});
    rec_reset();
    smd::gServerSend.byteOrder ^= 1;  // as a host of the other byte order writes them
    EXPECT_EQ(SshsMsgDef_ForwardPort__sendmsg(3, ports.data(), 2), 0u);
    smd::gServerSend.byteOrder ^= 1;
    const RecEvent *swapped = rec_find(REC_SEND, 0);
    EXPECT_EQ(Bytes(rec_sent_bytes(swapped, 1), rec_sent_bytes(swapped, 1) + 24),
              Hex("00000004 FFFFFFF4 00000016 00001F90 0008 000C 0004 0008"));
}

TEST_F(LibTest, RegistrationOrderEarlyStopAndStatus) {
    // Each module offers its messages in list order; the seven come first, in this order.
    auto offers = [](const smd::Context &recv) {
        Lines out;
        char line[32];
        for (const smd::Schema *s : smd::kSchemas) {
            if (s->recv == &recv) out.push_back((snprintf(line, sizeof line, "reg %#x", s->msgId), line));
        }
        return out;
    };
    const Lines client = offers(smd::gClientRecv), server = offers(smd::gServerRecv);
    EXPECT_EQ(Lines(client.begin(), client.begin() + 4),
              (Lines{"reg 0x9b687fac", "reg 0xd2fefb89", "reg 0x767bf3f4", "reg 0x21b17658"}));
    EXPECT_EQ(Lines(server.begin(), server.begin() + 3), (Lines{"reg 0x71670b77", "reg 0xc27650fa", "reg 0x70030d61"}));
    const struct {
        uint32_t (*init)(void);
        std::vector<uint32_t> results;  // the framework's answers, in order
        Lines offered;
        uint32_t status;
    } kCases[] = {{sshc_msg_def_recv_init, {}, client, 0},
                  {sshc_msg_def_recv_init, {0, 7}, {client[0], client[1]}, 7},
                  {sshc_msg_def_recv_init, {0, 0, 0, 9}, {client.begin(), client.begin() + 4}, 9},
                  {sshs_msg_def_recv_init, {}, server, 0},
                  {sshs_msg_def_recv_init, {3}, {server[0]}, 3}};
    for (const auto &c : kCases) {
        rec_reset();
        rec_set_reg_results(c.results.data(), c.results.size());
        EXPECT_EQ(c.init(), c.status);
        EXPECT_EQ(Trace(), c.offered);
    }
    using Fn = const void *;
    const std::pair<Fn, Fn> kPairs[] = {{(Fn)SshsMsgDef_PortList__unpack, (Fn)SshsMsgDef_PortList_free__unpacked}};
    EXPECT_EQ(std::make_pair(rec_event(0)->ptr, rec_event(0)->ptr2), kPairs[0]);
    sshc_msg_def_recv_init();
    const Fn kClient[][2] = {{(Fn)SshcMsgDef_FileTrans__unpack, (Fn)SshcMsgDef_FileTrans_free__unpacked},
                             {(Fn)SshcMsgDef_FileDir__unpack, (Fn)SshcMsgDef_FileDir_free__unpacked},
                             {(Fn)SshcMsgDef_ConnectPara__unpack, (Fn)SshcMsgDef_ConnectPara_free__unpacked},
                             {(Fn)SshcMsgDef_SftpciMessage__unpack, (Fn)SshcMsgDef_SftpciMessage_free__unpacked}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(rec_event(1 + i)->ptr, kClient[i][0]);
        EXPECT_EQ(rec_event(1 + i)->ptr2, kClient[i][1]);
    }
    rec_reset();
    rec_set_clean_result(4);
    EXPECT_EQ(sshc_msg_def_send_init(), 4u);
    EXPECT_EQ(sshs_msg_def_send_init(), 4u);
    sshc_msg_def__send_resource_clean();
    sshs_msg_def__send_resource_clean();
    EXPECT_EQ(Trace(), (Lines{"clean", "clean"}));
    EXPECT_EQ(rec_event(0)->ptr, (Fn)sshc_msg_def__send_resource_clean);
    EXPECT_EQ(rec_event(1)->ptr, (Fn)sshs_msg_def__send_resource_clean);
}

TEST(Identifiers, AreFnv1aOfQualifiedNames) {
    for (const smd::Schema *s : smd::kSchemas) {
        uint32_t h = 0x811C9DC5;
        for (const char *p = s->name; *p; ++p) h = (h ^ static_cast<uint8_t>(*p == '_' ? '.' : *p)) * 0x01000193;
        EXPECT_EQ(h, s->msgId) << s->name;
    }
}

}  // namespace
