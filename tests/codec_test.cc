// The byte vectors of vectors.txt, a table length past 16 bits, records whose
// strings lie in the output, and the schemas' compile-time checks.
#include <array>
#include <utility>

#include "internal.h"
#include "support.h"

namespace {

SshsMsgDef_ForwardPort gPorts[] = {{5, 0}, {7, 9}};

// The vectors of vectors.txt, each with the codec of its message (none for an
// unknown message or kind: the test fails).
struct Vector : ByteVector {
    const Codec *codec = nullptr;
};
void PrintTo(const Vector &v, std::ostream *os) { *os << "vectors.txt:" << v.line; }

std::vector<Vector> LoadVectors() {
    std::vector<Vector> out;
    for (const ByteVector &b : ReadVectors(VECTORS)) {
        Vector &v = out.emplace_back(Vector{b});
        for (const Sample &s : kSamples) {
            if ((v.kind == "pack" || v.kind == "accept") && std::string(s.codec->name).ends_with("_" + v.message))
                v.codec = s.codec;
        }
    }
    return out;
}

class VectorTest : public LibTest, public ::testing::WithParamInterface<Vector> {};

// The bytes decode to the record; a vector the encoder writes packs back from
// it to exactly these bytes; every prefix decodes or fails without leaking.
TEST_P(VectorTest, DecodesToItsRecordAndPacksBack) {
    const Vector &v = GetParam();
    ASSERT_NE(v.codec, nullptr) << "not a kind and a message of the lists";
    const Bytes &want = v.bytes;
    Storage in;
    EXPECT_EQ(v.codec->unpack(want.data(), static_cast<uint32_t>(want.size()), in.get()), v.codec->size);
    EXPECT_EQ(v.codec->describe(in.get()), v.record);
    EXPECT_EQ(Logs(), Lines{});
    if (v.kind == "pack") {
        const size_t flags = rec_count_kind(REC_USE_FLAG);
        Bytes exact(want.size() + 8, 0xEE);  // exactly the room it needs, every byte to be written, and 8 beyond
        uint32_t len = static_cast<uint32_t>(want.size());
        EXPECT_EQ(v.codec->pack(in.get(), exact.data(), &len), 0u);
        EXPECT_EQ(Bytes(exact.begin(), exact.begin() + len), want);
        EXPECT_EQ(Bytes(exact.begin() + len, exact.end()), Bytes(8, 0xEE));
        EXPECT_EQ(len, want.size());
        EXPECT_EQ(rec_count_kind(REC_USE_FLAG), flags + 1);  // the writer bound its module's cache pair

        len = static_cast<uint32_t>(want.size()) - 1;  // one byte short: refused, untouched
        Bytes small(len, 0xEE);
        EXPECT_EQ(v.codec->pack(in.get(), small.data(), &len), SSH_MSG_DEF_ERROR);
        EXPECT_EQ(len, want.size() - 1);
        EXPECT_EQ(small, Bytes(len, 0xEE));
        len = 100;  // a null buffer is refused by the writer, with its log line; a null record or length silently
        EXPECT_EQ(v.codec->pack(in.get(), nullptr, &len), SSH_MSG_DEF_ERROR);
        EXPECT_EQ(v.codec->pack(nullptr, small.data(), &len), SSH_MSG_DEF_ERROR);
        EXPECT_EQ(v.codec->pack(in.get(), small.data(), nullptr), SSH_MSG_DEF_ERROR);
        EXPECT_EQ(Logs(),
                  Lines{"22 " + std::string(v.codec->name) + "_pack [ZIRKO]:Param invalid(null, 100, nonNull)"});
        EXPECT_EQ(len, 100u);
    }
    v.codec->release(in.get());

    for (uint32_t cut = 4; cut < want.size(); ++cut) {
        Bytes prefix(want.begin(), want.begin() + cut);
        v.codec->unpack(prefix.data(), cut, in.get());
        v.codec->release(in.get());
    }
    EXPECT_EQ(rec_live_blocks(), 0);
}

INSTANTIATE_TEST_SUITE_P(Vectors, VectorTest, ::testing::ValuesIn(LoadVectors()),
                         [](const auto &info) { return "line" + std::to_string(info.param.line); });

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

// A list goes into the encoding with its count and its array, or not at all.
TEST_F(LibTest, ListWithoutCountOrArrayIsLeftOut) {
    const SshsMsgDef_PortList absent{}, noArray{nullptr, nullptr, 2, nullptr}, noCount{nullptr, nullptr, 0, gPorts};
    EXPECT_EQ(Pack(kPortList, &noArray), Pack(kPortList, &absent));
    EXPECT_EQ(Pack(kPortList, &noCount), Pack(kPortList, &absent));
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
