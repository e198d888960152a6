// A buffer as the library's decoder walks it: every item read, in buffer order
// with its meaning, the bytes it never read, and the rule that refused the
// buffer, if one did. The decoder itself tells all of this to a Collector (its
// observer), so the layout cannot disagree with what the library accepts.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "messages.h"

namespace sshmsg {

namespace smd = ssh_msg_def::internal;

struct Layout {
    struct Line {
        uint32_t pos, size;
        std::string meaning;
        bool text = false;  // a string's bytes
    };
    std::vector<Line> lines;            // in the order the decoder read them
    std::string refusal;                // empty when the buffer was accepted
    std::vector<std::string> nulBytes;  // strings whose bytes hold a NUL
};

// The decoder's observer: turns what it is told into lines of a Layout.
class Collector final : public smd::Observer {
  public:
    Collector(const uint8_t *buf, uint32_t len, Layout *out) : buf_(buf), len_(len), out_(out) {}
    void Item(smd::Item item, uint32_t pos, uint32_t value, const char *name) override;
    void Refuse(smd::Rule rule, uint32_t pos, uint32_t value) override;

  private:
    void Add(uint32_t pos, uint32_t size, std::string meaning, bool text = false);

    const uint8_t *buf_;
    uint32_t len_;
    Layout *out_;
    std::string table_;   // the message of the table being read
    std::string field_;   // the member of the last field slot read
    std::string list_;    // the member of the last list
    uint32_t count_ = 0;  // position of its count
};

// What an accepted buffer holds that its record does not show: strings cut
// short by a NUL among their bytes, and bytes after the message's data that the
// decoder never read (the NUL the writer puts after the last string aside).
std::vector<std::string> Warnings(const Layout &layout, const uint8_t *buf, uint32_t len);

// Prints the layout: offset, bytes and meaning, one line per item in buffer
// order, unread bytes included, then whether the buffer was accepted.
std::string FormatLayout(const Layout &layout, const uint8_t *buf, uint32_t len);

}  // namespace sshmsg
