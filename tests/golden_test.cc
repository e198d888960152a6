// Golden byte vectors: pack writes exactly these bytes, unpack reads them back to
// the same record, and every prefix decodes or fails without leaking.
#include <array>
#include <utility>

#include "encode.h"
#include "support.h"

namespace {

SshsMsgDef_ForwardPort gPorts[] = {{5, 0}, {7, 9}};
SshsMsgDef_ForwardPort gOnePort[] = {{7, 9}};  // every word set: an element at its largest

struct Golden {
    const Codec *codec;
    void (*fill)(void *);
    const char *hex;
};
void PrintTo(const Golden &p, std::ostream *os) { *os << p.codec->name; }

// clang-format off
const Golden kGolden[] = {
    {&kFileTrans, [](void *) {}, "10000000 0C00 0400 0000000000000000 0C000000"},
    {&kFileTrans, [](void *r) { *(SshcMsgDef_FileTrans *)r = {1, S("ab"), nullptr, 0}; },
     "10000000 0C00 1300 0400 0800 00000000 0C000000 01000000 04000000 02000000 616200"},
    {&kFileTrans, [](void *r) { *(SshcMsgDef_FileTrans *)r = {1, S(""), nullptr, 2}; },
     "10000000 0C00 1500 0400 0C00 0000 0800 0C000000 01000000 02000000 04000000 00000000 00"},
    {&kFileDir, [](void *) {}, "12000000 0E00 0400 00000000000000000000 0E000000"},
    {&kFileDir, [](void *r) { ((SshcMsgDef_FileDir *)r)->field3 = 7; },
     "12000000 0E00 0800 000000000000 0400 0000 0E000000 07000000"},
    {&kConnectPara, [](void *) {}, "18000000 1400 0400 00000000000000000000000000000000 14000000"},
    {&kConnectPara, [](void *r) { ((SshcMsgDef_ConnectPara *)r)->field7 = 5; },
     "18000000 1400 0800 0000000000000000000000000000 0400 14000000 05000000"},
    {&kConnectPara, [](void *r) { *(SshcMsgDef_ConnectPara *)r = {nullptr, 1, nullptr, 2, 0, 0, 0, 3}; },
     "18000000 1400 1000 0000 0400 0000 0800 000000000000 0C00 14000000 01000000 02000000 03000000"},
    {&kConnectPara, [](void *r) { *(SshcMsgDef_ConnectPara *)r = {S(""), 0, 0, 0, 0, 0, S("x"), 0}; },
     "18000000 1400 1700 0400 00000000000000000000 0800 0000 14000000 08000000 09000000 0000000000 "
     "01000000 7800"},
    {&kSftpciMessage, [](void *) {},
     "16000000 1200 1000 0000000000000000 0400 0800 0C00 12000000 20000000 2E000000 3A000000 "
     "1400 0400 00000000000000000000000000000000 14000000 0E00 0400 00000000000000000000 0E000000 "
     "0C00 0400 0000000000000000 0C000000"},
    {&kSftpciMessage, [](void *r) { ((SshcMsgDef_SftpciMessage *)r)->field2 = 9; },
     "16000000 1200 1400 00000000 0400 0000 0800 0C00 1000 12000000 09000000 20000000 2E000000 3A000000 "
     "1400 0400 00000000000000000000000000000000 14000000 0E00 0400 00000000000000000000 0E000000 "
     "0C00 0400 0000000000000000 0C000000"},
    {&kForwardPort, [](void *r) { *(SshsMsgDef_ForwardPort *)r = {22, 8080}; },
     "0C000000 0800 0C00 0400 0800 08000000 16000000 901F0000"},
    {&kForwardPort, [](void *) {}, "0c000000 0800 0400 00000000 08000000"},
    {&kPortList, [](void *) {}, "0e000000 0a00 0400 000000000000 0a000000"},
    {&kPortList, [](void *r) { ((SshsMsgDef_PortList *)r)->field0 = S("ab"); },
     "0E000000 0A00 0F00 0400 0000 0000 0A000000 04000000 02000000 616200"},
    {&kPortList, [](void *r) { *(SshsMsgDef_PortList *)r = {nullptr, nullptr, 1, gOnePort}; },
     "0E000000 0A00 1000 0000 0000 0400 0A000000 04000000 01000000 0C000000 0800 0C00 0400 0800 "
     "08000000 07000000 09000000"},
    {&kPortList, [](void *r) { *(SshsMsgDef_PortList *)r = {S("ab"), nullptr, 2, gPorts}; },
     "0e000000 0a00 1f00 0400 0000 0800 0a000000 08000000 0b000000 02000000 616200 02000000 10000000 "
     "1c000000 0800 0800 0400 0000 08000000 05000000 0800 0c00 0400 0800 08000000 07000000 09000000"},
    {&kTcpForwordMessage, [](void *) {},
     "12000000 0e00 0800 0000 0000 0000 0000 0400 0e000000 0e000000 0a00 0400 000000000000 0a000000"},
    {&kTcpForwordMessage, [](void *r) { *(SshsMsgDef_TcpForwordMessage *)r = {1, 0, 3, 0, {}}; },
     "12000000 0e00 1000 0400 0000 0800 0000 0c00 0e000000 01000000 03000000 0e000000 "
     "0a00 0400 000000000000 0a000000"},
};
// clang-format on

class GoldenTest : public LibTest, public ::testing::WithParamInterface<Golden> {};

TEST_P(GoldenTest, PacksExactlyAndUnpacksBack) {
    const Golden &g = GetParam();
    const Bytes want = Hex(g.hex);
    Storage in, out;
    g.fill(in.get());
    Bytes exact(want.size() + 8, 0xEE);  // exactly the room it needs, every byte to be written, and 8 beyond
    uint32_t len = static_cast<uint32_t>(want.size());
    EXPECT_EQ(g.codec->pack(in.get(), exact.data(), &len), 0u);
    EXPECT_EQ(Bytes(exact.begin(), exact.begin() + len), want);
    EXPECT_EQ(Bytes(exact.begin() + len, exact.end()), Bytes(8, 0xEE));
    EXPECT_EQ(len, want.size());
    EXPECT_EQ(rec_count_kind(REC_USE_FLAG), 1u);  // the writer bound its module's cache pair

    len = static_cast<uint32_t>(want.size()) - 1;  // one byte short: refused, untouched
    Bytes small(len, 0xEE);
    EXPECT_EQ(g.codec->pack(in.get(), small.data(), &len), SSH_MSG_DEF_ERROR);
    EXPECT_EQ(len, want.size() - 1);
    EXPECT_EQ(small, Bytes(len, 0xEE));
    len = 100;  // a null buffer is refused by the writer, with its log line; a null record or length silently
    EXPECT_EQ(g.codec->pack(in.get(), nullptr, &len), SSH_MSG_DEF_ERROR);
    EXPECT_EQ(g.codec->pack(nullptr, small.data(), &len), SSH_MSG_DEF_ERROR);
    EXPECT_EQ(g.codec->pack(in.get(), small.data(), nullptr), SSH_MSG_DEF_ERROR);
    EXPECT_EQ(Logs(), Lines{"22 " + std::string(g.codec->name) + "_pack [ZIRKO]:Param invalid(null, 100, nonNull)"});
    EXPECT_EQ(len, 100u);

    EXPECT_EQ(g.codec->unpack(want.data(), static_cast<uint32_t>(want.size()), out.get()), g.codec->size);
    EXPECT_EQ(g.codec->describe(out.get()), g.codec->describe(in.get()));
    g.codec->release(out.get());

    for (uint32_t cut = 4; cut < want.size(); ++cut) {
        Bytes prefix(want.begin(), want.begin() + cut);
        g.codec->unpack(prefix.data(), cut, out.get());
        g.codec->release(out.get());
    }
    EXPECT_EQ(rec_live_blocks(), 0);
}

INSTANTIATE_TEST_SUITE_P(Vectors, GoldenTest, ::testing::ValuesIn(kGolden));

// Only the low 16 bits of a table length are stored; the message still decodes.
TEST_F(LibTest, TableLengthWrapsAt16Bits) {
    const std::string text(70000, 'p');
    const SshsMsgDef_PortList rec = {S(text.c_str()), nullptr, 2, gPorts};
    const Bytes buf = Pack(kPortList, &rec);
    EXPECT_EQ(buf[6] | buf[7] << 8, (4 + 8 + 70005 + 12) & 0xFFFF);
    SshsMsgDef_PortList out;
    SshsMsgDef_PortList__unpack(buf.data(), static_cast<uint32_t>(buf.size()), &out);
    EXPECT_EQ(kPortList.describe(&out), kPortList.describe(&rec));
    SshsMsgDef_PortList_free__unpacked(&out);
}

// A record whose string lies in the output: `__pack` neither aborts nor writes
// past its size. The string is measured once, so it keeps its measured room
// even when the writer overwrites it before copying it; one the writer has not
// reached by then is copied intact. Room: bytes 64 to 223 of the area.
struct Aliasing {
    int at, len;  // the string's first byte in the area, and its length
    bool intact;
};
void PrintTo(const Aliasing &p, std::ostream *os) { *os << "string at " << p.at << ", length " << p.len; }

class AliasingTest : public LibTest, public ::testing::WithParamInterface<Aliasing> {};

TEST_P(AliasingTest, KeepsItsSize) {
    const Aliasing &a = GetParam();
    uint8_t area[256];
    SshcMsgDef_FileTrans ft = {1, reinterpret_cast<char *>(area + a.at), nullptr, 2};
    SshcMsgDef_SftpciMessage sm = {};
    sm.fileTrans = ft;
    SshsMsgDef_PortList pl = {nullptr, ft.field1, 2, gPorts};
    for (const Sample &rec : {Sample{&kFileTrans, &ft}, Sample{&kSftpciMessage, &sm}, Sample{&kPortList, &pl}}) {
        memset(area, 'q', sizeof area);
        memset(area + a.at, 's', a.len);
        area[a.at + a.len] = 0;
        const std::string want = rec.codec->describe(rec.record);
        const Bytes apart = Pack(*rec.codec, rec.record);
        const Bytes before(area, area + sizeof area);
        uint32_t len = 160;
        ASSERT_EQ(rec.codec->pack(rec.record, area + 64, &len), 0u) << rec.codec->name;
        EXPECT_EQ(len, apart.size()) << rec.codec->name;
        EXPECT_TRUE(std::equal(area, area + 64, before.begin()));
        EXPECT_TRUE(std::equal(area + 64 + len, area + sizeof area, before.begin() + 64 + len));
        Storage out;
        rec.codec->unpack(area + 64, len, out.get());
        if (a.intact) {
            EXPECT_EQ(rec.codec->describe(out.get()), want);
        }
        rec.codec->release(out.get());
    }
    EXPECT_EQ(Logs(), Lines{});
}

INSTANTIATE_TEST_SUITE_P(Places, AliasingTest,
                         ::testing::Values(Aliasing{70, 5, false}, Aliasing{58, 8, false}, Aliasing{64, 1, false},
                                           Aliasing{62, 2, true}, Aliasing{223, 3, true}, Aliasing{44, 20, true}));

// Buffers the encoder never writes but the format allows.
struct Accepted {
    const Codec *codec;
    const char *hex;
    const char *record;
};
void PrintTo(const Accepted &p, std::ostream *os) { *os << p.codec->name << " " << p.record; }

const Accepted kAccepted[] = {
    // The fixed image: vtable after its table, negative delta.
    {&kForwardPort, "04000000 F4FFFFFF 16000000 901F0000 0800 0C00 0400 0800", "{22, 8080}"},
    {&kForwardPort, "04000000 f4ffffff 00000000 00000000 0800 0c00 0400 0800", "{0, 0}"},
    // The vtable in the last 4 bytes, as far on as it may lie: no slots.
    {&kForwardPort, "04000000 F4FFFFFF 16000000 901F0000 0400 0C00", "{0, 0}"},
    // Vtable length 6 or 7 holds slot 0 alone (slot 1 needs 8); length 0 holds neither.
    {&kForwardPort, "0C000000 0600 0C00 0400 0000 08000000 16000000 901F0000", "{22, 0}"},
    {&kForwardPort, "0C000000 0700 0C00 0400 0800 08000000 16000000 901F0000", "{22, 0}"},
    {&kForwardPort, "0C000000 0000 0C00 0400 0800 08000000 16000000 901F0000", "{0, 0}"},
    // Slots a byte off the dense form's 4 + 4i, before or after it, read as they say.
    {&kForwardPort, "0C000000 0800 0D00 0500 0900 08000000 00 16000000 901F0000", "{22, 8080}"},
    {&kForwardPort, "0C000000 0800 0C00 0300 0700 080000 00160000 901F0000 00", "{5632, 8080}"},
    {&kForwardPort, "0C000000 0800 0D00 0400 0900 08000000 16000000 00 901F0000", "{22, 8080}"},
    {&kForwardPort, "0C000000 0800 0C00 0400 0700 08000000 16000090 1F000000", "{2415919126, 8080}"},
    // String forward offset 0: the offset word itself is read as length 0.
    {&kFileTrans, "10000000 0C00 0000 0000 0400 0000 0000 0C000000 00000000", "{0, \"\", null, 0}"},
    // String bytes ending exactly at len, no NUL after them.
    {&kFileTrans, "10000000 0C00 0000 0000 0400 0000 0000 0C000000 04000000 02000000 6162", "{0, \"ab\", null, 0}"},
    // A FileDir vtable of 8 bytes: slots 0 and 1 only.
    {&kFileDir, "12000000 0800 0000 0000 0400 000000000000 0E000000 09000000", "{null, 9, 0, 0, null}"},
    // A list whose offsets end exactly at the end of the buffer: the last one
    // is 0, so its element table is the offset word itself, vtable and all.
    {&kPortList, "0E000000 0A00 0000 0000 0000 0400 0A000000 04000000 01000000 00000000", "{null, null, 1:[{0, 0}]}"},
    // A present list with count 0: no array, and the string before it is kept.
    {&kPortList, "0E000000 0A00 0000 0400 0000 0800 0A000000 08000000 0A000000 02000000 6162 00000000",
     "{\"ab\", null, 0:null}"},
};

class AcceptedTest : public LibTest, public ::testing::WithParamInterface<Accepted> {};

TEST_P(AcceptedTest, Decodes) {
    const Bytes buf = Hex(GetParam().hex);
    Storage out;
    GetParam().codec->unpack(buf.data(), static_cast<uint32_t>(buf.size()), out.get());
    EXPECT_EQ(GetParam().codec->describe(out.get()), GetParam().record);
    EXPECT_TRUE(Logs().empty());
    GetParam().codec->release(out.get());
}

INSTANTIATE_TEST_SUITE_P(Vectors, AcceptedTest, ::testing::ValuesIn(kAccepted));

// A schema that disagrees with its record is caught by the check every
// message's schema passes at compile time. Rows of a 16-byte record place two
// members a byte too close and just far enough apart, for each kind of member,
// and break the other rules once each. The verdicts are reached at compile time
// and compared when the test runs.
using K = smd::Kind;
constexpr smd::Field kScalar{K::kScalar, 0, 0, 4, nullptr, "a"};
constexpr smd::Field Scalar(uint16_t at) { return {K::kScalar, at, 0, 4, nullptr, "b"}; }
struct SchemaRow {
    smd::Field fields[2];
    bool sound;
    bool fixedImage = false;
};
constexpr SchemaRow kSchemaRows[] = {
    {{kScalar, kScalar}, false},
    {{kScalar, Scalar(3)}, false},
    {{kScalar, Scalar(4)}, true},
    {{{K::kString, 0, 0, 8, nullptr, "s"}, Scalar(7)}, false},
    {{{K::kString, 0, 0, 8, nullptr, "s"}, Scalar(8)}, true},
    {{{K::kTable, 0, 0, 8, &smd::kForwardPort, "t"}, Scalar(7)}, false},
    {{{K::kTable, 0, 0, 8, &smd::kForwardPort, "t"}, Scalar(8)}, true},
    {{{K::kTable, 0, 0, 4, &smd::kForwardPort, "t"}}, false},   // a nested record of another size
    {{{K::kVector, 0, 3, 8, &smd::kForwardPort, "v"}}, false},  // the array over its count
    {{{K::kVector, 0, 4, 8, &smd::kForwardPort, "v"}, Scalar(11)}, false},
    {{{K::kVector, 0, 4, 8, &smd::kForwardPort, "v"}, Scalar(12)}, true},
    {{{K::kVector, 0, 4, 4, &smd::kForwardPort, "v"}}, false},      // elements of another size
    {{{K::kVector, 0, 8, 32, &smd::kFileTrans, "v"}}, false},       // elements that own memory
    {{{K::kTable, 0, 0, 8, nullptr, "t"}}, false},                  // a nested table without its schema
    {{{K::kScalar, 0, 0, 4, &smd::kForwardPort, "s"}}, false},      // a scalar with a schema
    {{kScalar, {K::kString, 8, 0, 8, nullptr, "s"}}, false, true},  // a fixed image of a string
    {{kScalar, Scalar(13)}, false},                                 // past the record's end
    {{kScalar, Scalar(12)}, true},                                  // up to it
};
constexpr size_t kSchemaCount = sizeof kSchemaRows / sizeof kSchemaRows[0];

// A schema of one field, or of two when the second is named.
constexpr smd::Schema SchemaOf(const smd::Field *fields, uint32_t recordSize, bool fixedImage = false) {
    smd::Schema s = smd::kForwardPort;
    s.fields = fields;
    s.slotCount = fields[1].name != nullptr ? 2 : 1;
    s.recordSize = recordSize;
    s.fixedImage = fixedImage;
    return s;
}

constexpr bool RowWellFormed(size_t i) {
    return smd::WellFormed(SchemaOf(kSchemaRows[i].fields, 16, kSchemaRows[i].fixedImage));
}
constexpr auto kSchemaVerdicts = []<size_t... I>(std::index_sequence<I...>) {
    return std::array<bool, kSchemaCount>{RowWellFormed(I)...};
}
(std::make_index_sequence<kSchemaCount>{});

TEST(Schema, MalformedTablesAreRefused) {
    for (size_t i = 0; i < kSchemaCount; ++i) EXPECT_EQ(kSchemaVerdicts[i], kSchemaRows[i].sound) << "row " << i;
}

// Lists and strings are found in any slot, the first too, and in a table
// nested there: the encoder sizes its list of string lengths by the strings it
// finds, counts list elements only where it finds lists, and a guarded nested
// decoder releases what its record owns. Only a record of packed scalars may be
// a list element.
struct Shape {
    bool lists;
    uint32_t strings;
    bool scalarsOnly;
    bool owns;
    bool operator==(const Shape &) const = default;
};
constexpr smd::Field kShapeRows[][2] = {
    {{K::kVector, 0, 8, 8, &smd::kForwardPort, "v"}},
    {{K::kTable, 0, 0, 32, &smd::kPortList, "t"}},
    {{K::kString, 0, 0, 8, nullptr, "s"}},
    {kScalar},
    {kScalar, Scalar(8)},  // not packed: a gap between the two
};
constexpr Shape ShapeOf(const smd::Field *fields) {
    const smd::Schema s = SchemaOf(fields, fields[1].name != nullptr ? 8 : 4);
    return {smd::HasVector(s), smd::StringCount(s), smd::ScalarsOnly(s), smd::OwnsMemory(s)};
}
constexpr auto kShapes = []<size_t... I>(std::index_sequence<I...>) {
    return std::array<Shape, sizeof...(I)>{ShapeOf(kShapeRows[I])...};
}
(std::make_index_sequence<std::size(kShapeRows)>{});

TEST(Schema, ListsAndStringsAreFoundInEverySlot) {
    EXPECT_EQ(kShapes, (std::array<Shape, 5>{{{true, 0, false, true},
                                              {true, 2, false, true},
                                              {false, 1, false, true},
                                              {false, 0, true, false},
                                              {false, 0, false, false}}}));
}

}  // namespace
