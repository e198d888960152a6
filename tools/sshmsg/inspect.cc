#include "inspect.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

namespace sshmsg {
namespace {

std::string Format(const char *format, auto... args) {
    char text[256];
    snprintf(text, sizeof text, format, args...);
    return text;
}

// The message whose decoder has this tag.
const char *MessageOfTag(const char *tag) {
    for (const smd::Message &m : smd::Messages()) {
        if (strcmp(tag, m.schema.tags.unpack) == 0 || strcmp(tag, m.schema.tags.nested) == 0) return m.name;
    }
    return "?";
}

std::string Quoted(const uint8_t *text, uint32_t len) {
    std::string out = "\"";
    for (uint32_t i = 0; i < len && i < 48; ++i) {
        const uint8_t c = text[i];
        out += c >= 0x20 && c < 0x7F && c != '"' && c != '\\' ? std::string(1, static_cast<char>(c))
                                                              : Format("\\x%02X", c);
    }
    return out + (len > 48 ? "\"..." : "\"");
}

}  // namespace

void Collector::Add(uint32_t pos, uint32_t size, std::string meaning, bool text) {
    out_->lines.push_back({pos, size, std::move(meaning), text});
}

void Collector::Item(smd::Item item, uint32_t pos, uint32_t value, const char *name) {
    const char *f = field_.c_str();
    switch (item) {
        case smd::Item::kRootOffset: Add(pos, 4, Format("root offset: table at %u", value)); break;
        case smd::Item::kVtableDelta:
            table_ = MessageOfTag(name);
            Add(pos, 4,
                Format("%s table: vtable delta %d, vtable at %u", table_.c_str(), static_cast<int32_t>(pos - value),
                       value));
            break;
        case smd::Item::kVtableLength:
            Add(pos, 2, Format("%s vtable: length %u", table_.c_str(), value));
            // Written by the encoder, never checked by the decoder.
            Add(pos + 2, 2, Format("%s vtable: table length %u", table_.c_str(), buf_[pos + 2] | buf_[pos + 3] << 8));
            break;
        case smd::Item::kSlot:
            field_ = name;
            Add(pos, 2,
                value ? Format("field slot %s: table + %u", name, value) : Format("field slot %s: absent", name));
            break;
        case smd::Item::kScalar: Add(pos, 4, Format("%s = %u", name, value)); break;
        case smd::Item::kOffset: Add(pos, 4, Format("%s: forward offset %u, to %u", f, value - pos, value)); break;
        case smd::Item::kLength: Add(pos, 4, Format("%s: string length %u", f, value)); break;
        case smd::Item::kText:
            Add(pos, value, field_ + ": " + Quoted(buf_ + pos, value), true);
            if (const void *nul = memchr(buf_ + pos, 0, value)) {
                const auto at = static_cast<uint32_t>(static_cast<const uint8_t *>(nul) - buf_);
                out_->nulBytes.push_back(Format("%s.%s: the %u-byte string at %u holds a NUL at %u; the record keeps ",
                                                table_.c_str(), f, value, pos, at) +
                                         Quoted(buf_ + pos, at - pos));
            }
            break;
        case smd::Item::kCount:
            list_ = field_;
            count_ = pos;
            Add(pos, 4, Format("%s: count %u", f, value));
            break;
        case smd::Item::kElement:
            Add(pos, 4,
                Format("%s[%u]: forward offset %u, to %u", list_.c_str(), (pos - count_ - 4) / 4, value - pos, value));
            break;
    }
}

void Collector::Refuse(smd::Rule rule, uint32_t pos, uint32_t value) {
    const std::string where = field_.empty() ? "" : field_ + ": ";
    switch (rule) {
        case smd::Rule::kParams:
            out_->refusal = Format("a buffer of %u bytes is below the 4-byte minimum", value);
            break;
        case smd::Rule::kTableOffset:
            // The offset came from the last item read: the root offset or a forward offset.
            out_->refusal = Format("table offset %u (from the offset at %u) is outside 4 to %u", value,
                                   out_->lines.empty() ? 0 : out_->lines.back().pos, len_ - 4);
            break;
        case smd::Rule::kVtableOffset:
            out_->refusal =
                Format("the vtable delta at %u puts the vtable at %u, outside 4 to %u", pos, value, len_ - 4);
            break;
        case smd::Rule::kVtableLength:
            out_->refusal = Format("vtable length %u at %u runs past the end (%u bytes left)", value, pos, len_ - pos);
            break;
        case smd::Rule::kPastEnd:
            out_->refusal = where + Format("%u bytes at %u run past the end of the %u-byte buffer", value, pos, len_);
            break;
        case smd::Rule::kWraps:
            out_->refusal = where + Format("forward offset %u at %u wraps past 2^32", value, pos);
            break;
        case smd::Rule::kCount: out_->refusal = where + Format("count %u at %u is above 0x3FFFFFFF", value, pos); break;
        case smd::Rule::kNoMemory: out_->refusal = where + Format("allocation of %u bytes failed", value); break;
    }
}

std::vector<std::string> Warnings(const Layout &layout, const uint8_t *buf, uint32_t len) {
    if (!layout.refusal.empty()) return {};
    std::vector<std::string> out = layout.nulBytes;
    uint32_t end = 0;
    bool text = false;
    for (const auto &l : layout.lines) {
        if (l.pos + l.size >= end) end = l.pos + l.size, text = l.text;
    }
    if (text && end < len && buf[end] == 0) ++end;
    if (end < len) {
        out.push_back(Format("%u byte%s at %u after the message's data %s never read by the decoder", len - end,
                             len - end == 1 ? "" : "s", end, len - end == 1 ? "is" : "are"));
    }
    return out;
}

std::string FormatLayout(const Layout &layout, const uint8_t *buf, uint32_t len) {
    std::vector<Layout::Line> lines = layout.lines;
    std::stable_sort(lines.begin(), lines.end(), [](const auto &a, const auto &b) { return a.pos < b.pos; });
    std::string out = Format("%-8s%-28s%s\n", "offset", "bytes", "meaning");
    auto row = [&](uint32_t pos, uint32_t size, const std::string &meaning) {
        std::string bytes;
        for (uint32_t i = 0; i < size && i < 8; ++i) bytes += Format("%02x ", buf[pos + i]);
        if (size > 8) bytes += "...";
        out += Format("%6u  %-28s", pos, bytes.c_str()) + meaning + "\n";
    };
    uint32_t next = 0;  // the first byte no line has covered
    for (const auto &l : lines) {
        if (l.pos > next) row(next, l.pos - next, "not read by the decoder");
        row(l.pos, l.size, l.meaning);
        next = std::max(next, l.pos + l.size);
    }
    if (next < len && layout.refusal.empty()) row(next, len - next, "not read by the decoder");
    return out + (layout.refusal.empty() ? "accepted\n" : "rejected: " + layout.refusal + "\n");
}

}  // namespace sshmsg
