// Records as JSON, for any schema: the one record notation of the code beside
// the library (the sshmsg tool's input and output, the case files, the byte
// vectors, the fuzz checks' comparisons). A record is an object whose members
// are the record's members, named as in the public headers:
//   scalar        a number 0..4294967295
//   string        null, a JSON string (the bytes, when they are valid UTF-8),
//                 or {"hex": "..."} (any bytes, as hex text); no NUL byte
//   nested record an object of the nested record
//   list          "<name>Count": the element count, then "<name>": an array
//                 of element objects, or null
// Reading is strict: members in any order, each at most once; an absent member
// is 0, null or empty; a count is optional but must match its array; an
// unknown member, a duplicate, a value of another kind, nesting deeper than 32
// levels, anything after the value and every JSON syntax error are refused,
// each as one line saying where (offset, line and column), the member's path
// and what is wrong, quoting at most 40 characters of the text.
//
// Writing, in one of three styles: compact (one line, every member), pretty
// (indented; an object or array that holds no object or array stays on one
// line while that line is short) and sparse (compact, members that hold 0 or
// null left out: it reads back as the same record). Text is written as it is
// made, so a record of a million list elements never exists as a whole text.
#ifndef SSH_MSG_DEF_INTERNAL_RECORD_JSON_H
#define SSH_MSG_DEF_INTERNAL_RECORD_JSON_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "../src/runtime/schema.h"

namespace ssh_msg_def::internal {

// Zeroed storage for records of `size` bytes each, aligned for any record.
class Records {
  public:
    explicit Records(uint32_t size, size_t count = 0) : size_(size) { Resize(count); }
    void *at(size_t i) { return reinterpret_cast<unsigned char *>(words_.data()) + i * size_; }
    const void *data() const { return words_.data(); }
    size_t size() const { return count_; }
    void Resize(size_t count);  // new records are zero
    void *Add() { return Resize(count_ + 1), at(count_ - 1); }

  private:
    uint32_t size_;
    size_t count_ = 0;
    std::vector<uint64_t> words_;
};

// Owns the strings and arrays of records read from JSON.
class Arena {
  public:
    char *String(std::string_view bytes);
    void *Array(Records &&elements);

  private:
    std::deque<std::string> strings_;
    std::deque<Records> arrays_;
};

// Reads records from JSON text; every method throws std::runtime_error.
class RecordReader {
  public:
    RecordReader(std::string_view text, Arena &arena) : text_(text), arena_(arena) {}
    // Reads the record at the current place into zeroed storage of s.recordSize.
    void Record(const Schema &s, void *record);
    // Reads a record, or an array of records, into `out`.
    void Many(const Schema &s, Records &out);
    // The place after the value read, blanks skipped; End() refuses anything there.
    size_t Pos();
    void End();

  private:
    [[noreturn]] void Fail(size_t at, const std::string &path, const std::string &what) const;
    [[noreturn]] void Syntax(const std::string &what) const;
    char Peek();  // skips blanks; '\0' at the end
    bool Take(char c);
    void Expect(char c);
    void Enter(size_t at);             // one level deeper, from the bracket at `at`
    size_t Value();                    // skips any value; returns where it began
    std::optional<uint64_t> Number();  // a whole number, or nothing for another JSON number
    std::string Got(size_t from) const;
    std::string String();
    uint32_t Scalar(const std::string &path);
    char *Bytes(const std::string &path);
    void Object(const Schema &s, void *record, const std::string &path);

    std::string_view text_;
    Arena &arena_;
    size_t pos_ = 0;
    int depth_ = 0;
};

// Where written JSON goes: appended to text(), and handed to `file`, when
// there is one, once a long stretch has piled up and at Flush().
class JsonOut {
  public:
    explicit JsonOut(FILE *file = nullptr) : file_(file) {}
    void Put(std::string_view s) {
        text_ += s;
        if (file_ != nullptr && text_.size() >= 65536) Flush();
    }
    // False once a write to the file failed.
    bool Flush();
    std::string &text() { return text_; }

  private:
    std::string text_;
    FILE *file_;
    bool ok_ = true;
};

enum class Style { kCompact, kPretty, kSparse };

void WriteRecord(JsonOut &out, const Schema &s, const void *record, Style style);
std::string RecordText(const Schema &s, const void *record, Style style = Style::kCompact);

// Bytes as JSON, as a record's string is written: a string when they are valid
// UTF-8 (NULs and other control bytes escaped), else {"hex":"..."}.
std::string BytesJson(std::string_view bytes);

}  // namespace ssh_msg_def::internal

#endif
