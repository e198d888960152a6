// The codec runs one instantiation per value of the byte-order flag, and packs
// either on an upper bound of the size or, when the room is below that bound, on
// the exact size. These tests take every message down the paths the other tests
// do not reach on a little-endian host.
#include "support.h"

namespace {

char *S(const char *s) { return const_cast<char *>(s); }

// Two of the three ports have a zero field: their upper bound is 8 bytes above the size.
SshsMsgDef_ForwardPort gPorts[] = {{5, 0}, {7, 9}, {0, 3}};

struct Sample {
    const Codec &codec;
    void (*fill)(void *);
};

const Sample kSamples[] = {
    {kFileTrans,
     [](void *r) {
         *(SshcMsgDef_FileTrans *)r = {1, S("ab"), S(""), 0x01020304};
     }},
    {kFileDir,
     [](void *r) {
         *(SshcMsgDef_FileDir *)r = {S("dir"), 0, 7, 0x10000, nullptr};
     }},
    {kConnectPara,
     [](void *r) { *(SshcMsgDef_ConnectPara *)r = {S("host"), 22, nullptr, 0, S("k"), S(""), S("b"), 3}; }},
    {kSftpci,
     [](void *r) {
         auto *m = (SshcMsgDef_SftpciMessage *)r;
         m->field1 = 9, m->connectPara.field0 = S("h"), m->fileDir.field4 = S("*"), m->fileTrans.field3 = 2;
     }},
    {kPortList,
     [](void *r) {
         *(SshsMsgDef_PortList *)r = {S("a"), S("bc"), 3, gPorts};
     }},
    {kForwardPort,
     [](void *r) {
         *(SshsMsgDef_ForwardPort *)r = {0x0A0B, 0};
     }},
    {kTcpForword,
     [](void *r) {
         *(SshsMsgDef_TcpForwordMessage *)r = {1, 0, 0, 0, {S("p"), S(""), 3, gPorts}};
     }},
};

// Sets the flag of the four modules, as on a big-endian host, until destroyed.
struct ReversedByteOrder {
    ReversedByteOrder() { Set(1); }
    ~ReversedByteOrder() { Set(smd::HostByteOrderFlag()); }
    static void Set(uint32_t flag) {
        for (smd::Context *c : {&smd::gClientRecv, &smd::gClientSend, &smd::gServerRecv, &smd::gServerSend}) {
            c->byteOrder = flag;
        }
    }
};

TEST_F(LibTest, EveryMessageRoundTripsWithTheByteOrderFlagSet) {
    for (const Sample &s : kSamples) {
        Storage in, out;
        s.fill(in.get());
        const Bytes little = Pack(s.codec, in.get());
        ReversedByteOrder reversed;
        const Bytes big = Pack(s.codec, in.get());
        EXPECT_EQ(big.size(), little.size()) << s.codec.name;
        EXPECT_NE(big, little) << s.codec.name;
        s.codec.unpack(big.data(), static_cast<uint32_t>(big.size()), out.get());
        EXPECT_EQ(s.codec.describe(out.get()), s.codec.describe(in.get())) << s.codec.name;
        s.codec.release(out.get());
        if (&s.codec != &kForwardPort) {  // whose single send is its fixed image
            rec_reset();
            EXPECT_EQ(s.codec.sendsingle(1, in.get(), 0, 0), 0u);
            const RecEvent *send = rec_find(REC_SEND, 0);
            EXPECT_EQ(Bytes(rec_sent_bytes(send, 0), rec_sent_bytes(send, 0) + send->descs[0].length), big);
        }
    }
}

TEST_F(LibTest, PackSucceedsInAnyRoomFromTheSizeUp) {
    for (const Sample &s : kSamples) {
        Storage in;
        s.fill(in.get());
        const Bytes want = Pack(s.codec, in.get());
        const uint32_t size = static_cast<uint32_t>(want.size());
        for (uint32_t room = size - 1; room <= size + 9; ++room) {
            Bytes buf(room, 0xEE);
            uint32_t len = room;
            const bool fits = room >= size;
            EXPECT_EQ(s.codec.pack(in.get(), buf.data(), &len), fits ? 0u : SSH_MSG_DEF_ERROR) << s.codec.name;
            EXPECT_EQ(len, fits ? size : room);
            Bytes expect = fits ? want : Bytes();
            expect.resize(room, 0xEE);
            EXPECT_EQ(buf, expect) << s.codec.name << " room " << room;
        }
    }
}

}  // namespace
