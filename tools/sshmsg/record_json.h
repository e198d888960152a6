// Records as JSON, for any schema. A record is an object whose members are the
// record's members, named as in the public headers, in slot order:
//   scalar        a number 0..4294967295
//   string        null, a JSON string (the bytes when they are valid UTF-8), or
//                 {"hex": "..."} (any bytes); strings hold no NUL byte
//   nested table  an object of the nested record
//   vector        "<name>Count": the element count, then "<name>": an array of
//                 element objects, or null
// Reading accepts the same forms; an absent member is 0, null or empty, a
// count member is optional but must match its array, and an unknown member is
// an error. Errors are thrown as std::runtime_error naming the member's path
// and quoting at most 40 characters of what it holds.
#pragma once

#include <stdint.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "internal.h"

namespace sshmsg {

using Json = nlohmann::ordered_json;

// JSON text nested at most 32 deep; errors say where in the text.
Json ParseJson(std::string_view text);

// Zeroed storage for `count` records of `size` bytes, aligned for any record.
class Records {
  public:
    Records(uint32_t size, size_t count);
    void *at(size_t i) { return bytes_.get() + i * size_; }
    const void *data() const { return bytes_.get(); }

  private:
    uint32_t size_;
    std::unique_ptr<unsigned char[]> bytes_;
};

// Owns the strings and arrays of records read from JSON.
class Arena {
  public:
    char *String(const std::string &bytes);
    void *Array(uint32_t elementSize, size_t count);

  private:
    std::vector<std::unique_ptr<char[]>> strings_;
    std::vector<Records> arrays_;
};

Json ToJson(const ssh_msg_def::internal::Schema &s, const void *record);
void FromJson(const ssh_msg_def::internal::Schema &s, const Json &j, void *record, Arena &arena,
              const std::string &path = "");

// Indented JSON in which an object or array that holds no object or array
// stays on one line while that line is short: a record of scalars and strings,
// or a vector element, reads as one line.
std::string Pretty(const Json &j, int indent = 0);

// A NUL-free byte string in the form described above, and back.
Json BytesToJson(std::string_view bytes);
std::string BytesFromJson(const Json &j, const std::string &path);

}  // namespace sshmsg
