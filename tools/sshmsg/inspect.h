// A buffer as the library's decoder walks it: every item read, in buffer order
// with its meaning, the bytes it never read, and the rule that refused the
// buffer, if one did. The decoder itself tells all of this to a Collector (its
// observer), so the layout cannot disagree with what the library accepts.
//
// Memory stays in proportion to the buffer: each place is kept once, with the
// times the decoder read it (a table that a million list elements point at is
// one table read a million times), and meanings are spelled out only when the
// layout is printed.
#pragma once

#include <stdint.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "messages.h"
#include "record_json.h"

namespace sshmsg {

namespace smd = ssh_msg_def::internal;

struct Layout {
    struct Line {
        uint32_t pos, value;
        uint32_t index;  // a list element's index
        smd::Item item;
        const char *name;   // the member, for the items of a field
        const char *table;  // the message of the table being read
        uint32_t times;     // how often the decoder read it
    };
    std::vector<Line> lines;            // each place once, in the order the decoder first read it
    std::string refusal;                // empty when the buffer was accepted
    std::vector<std::string> nulBytes;  // strings whose bytes hold a NUL
    uint32_t end = 0;                   // the first byte past everything read
    bool endsInText = false;            // ...which a string's bytes reach
};

// The decoder's observer: turns what it is told into a Layout.
class Collector final : public smd::Observer {
  public:
    Collector(const uint8_t *buf, uint32_t len, Layout *out);
    void Item(smd::Item item, uint32_t pos, uint32_t value, const char *name) override;
    void Refuse(smd::Rule rule, uint32_t pos, uint32_t value) override;

  private:
    const uint8_t *buf_;
    uint32_t len_;
    Layout *out_;
    std::unordered_map<uint64_t, uint32_t> seen_;  // each place and kind of item read: its line
    const char *table_ = "?";                      // the message of the table being read
    const char *field_ = "";                       // the member of the last field slot read
    const char *list_ = "";                        // the member of the last list
    uint32_t count_ = 0;                           // position of its count
    uint32_t lastPos_ = 0;                         // of the last item read
};

// What an accepted buffer holds that its record does not show: strings cut
// short by a NUL among their bytes, and bytes after the message's data that the
// decoder never read (the NUL the writer puts after the last string aside).
std::vector<std::string> Warnings(const Layout &layout, const uint8_t *buf, uint32_t len);

// Where the message's data ends: past everything read, and past the NUL the
// writer puts after a last string.
uint32_t DataEnd(const Layout &layout, const uint8_t *buf, uint32_t len);

// Prints the layout: offset, bytes and meaning, one line per item in buffer
// order (offsets from `base`), unread bytes included, then whether the buffer
// was accepted; or, with `json`, the same as the members of one JSON object.
// `full`: strings whole rather than cut at 48 bytes.
void PrintLayout(smd::JsonOut &out, const Layout &layout, const uint8_t *buf, uint32_t len, uint64_t base, bool full,
                 bool json);

// The observed decode of the buffer: true when accepted, `layout` holding what
// was read and why it was refused.
bool Inspected(const smd::Message &m, const uint8_t *buf, uint32_t len, Layout &layout);

// The messages of a capture, back to back: each starts where the data of the
// one before ends. Calls each(at, length, layout) for every message the
// decoder accepts, in order; returns where the part that holds no whole
// message starts (`len` when there is none), its refusal in *rest.
template <class F>
uint32_t EachMessage(const smd::Message &m, const uint8_t *buf, uint32_t len, F each, Layout *rest) {
    uint32_t at = 0;
    while (at < len) {
        Layout layout;
        if (!Inspected(m, buf + at, len - at, layout)) {
            *rest = std::move(layout);
            break;
        }
        const uint32_t length = DataEnd(layout, buf + at, len - at);
        each(at, length, layout);
        at += length;
    }
    return at;
}

// "1 byte", "2 bytes".
std::string Count(uint64_t n, const char *noun);

}  // namespace sshmsg
