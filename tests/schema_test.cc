// The compile-time check every message's schema passes: a schema that
// disagrees with its record is refused.
#include <gtest/gtest.h>

#include "internal.h"

namespace {

namespace smd = ssh_msg_def::internal;

// A schema that disagrees with its record is caught by the check every
// message's schema passes at compile time. Rows of a 16-byte record place two
// members a byte too close and just far enough apart, for each kind of member,
// and break the other rules once each.
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
TEST(Schema, MalformedTablesAreRefused) {
    for (const SchemaRow &row : kSchemaRows) {
        smd::Schema s = smd::kForwardPort;  // of one field, or of two when the second is named
        s.fields = row.fields;
        s.slotCount = row.fields[1].name != nullptr ? 2 : 1;
        s.recordSize = 16;
        s.fixedImage = row.fixedImage;
        EXPECT_EQ(smd::WellFormed(s), row.sound) << "row " << &row - kSchemaRows;
    }
}

}  // namespace
