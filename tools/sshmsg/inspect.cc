#include "inspect.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <unordered_map>

#include "text.h"

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

// A string's bytes as the layout shows them, as the record notation writes
// them: at most the first 48 unless `full`, cut where a character starts.
std::string Quoted(const uint8_t *text, uint32_t len, bool full) {
    uint32_t shown = full ? len : std::min<uint32_t>(len, 48);
    while (shown < len && shown > 0 && (text[shown] & 0xC0) == 0x80) --shown;
    return smd::BytesJson({reinterpret_cast<const char *>(text), shown}) + (shown < len ? "..." : "");
}

// The size and meaning of a line of the layout.
std::pair<uint32_t, std::string> Meaning(const Layout::Line &l, const uint8_t *buf, bool full) {
    const char *f = l.name;
    switch (l.item) {
        case smd::Item::kRootOffset: return {4, Format("root offset: table at %u", l.value)};
        case smd::Item::kVtableDelta:
            return {4, Format("%s table: vtable delta %d, vtable at %u", l.table, static_cast<int32_t>(l.pos - l.value),
                              l.value)};
        case smd::Item::kVtableLength: return {2, Format("%s vtable: length %u", l.table, l.value)};
        case smd::Item::kSlot:
            return {2, l.value ? Format("field slot %s: table + %u", f, l.value) : Format("field slot %s: absent", f)};
        case smd::Item::kScalar: return {4, Format("%s = %u", f, l.value)};
        case smd::Item::kOffset: return {4, Format("%s: forward offset %u, to %u", f, l.value - l.pos, l.value)};
        case smd::Item::kLength: return {4, Format("%s: string length %u", f, l.value)};
        case smd::Item::kText: return {l.value, std::string(f) + ": " + Quoted(buf + l.pos, l.value, full)};
        case smd::Item::kCount: return {4, Format("%s: count %u", f, l.value)};
        case smd::Item::kElement:
            return {4, Format("%s[%u]: forward offset %u, to %u", f, l.index, l.value - l.pos, l.value)};
    }
    return {0, "?"};
}

}  // namespace

std::string Count(uint64_t n, const char *noun) { return std::to_string(n) + " " + noun + (n == 1 ? "" : "s"); }

Collector::Collector(const uint8_t *buf, uint32_t len, Layout *out) : buf_(buf), len_(len), out_(out) {}

void Collector::Item(smd::Item item, uint32_t pos, uint32_t value, const char *name) {
    if (item == smd::Item::kVtableDelta) table_ = MessageOfTag(name);
    if (item == smd::Item::kSlot) field_ = name;
    if (item == smd::Item::kScalar) field_ = name;
    if (item == smd::Item::kCount) list_ = field_, count_ = pos;
    lastPos_ = pos;
    const Layout::Line line{pos,
                            value,
                            item == smd::Item::kElement ? (pos - count_ - 4) / 4 : 0,
                            item,
                            item == smd::Item::kElement ? list_ : field_,
                            table_,
                            1};
    // Read again, as a table that several list elements point at is: the same
    // place holds the same item.
    const auto [at, first] = seen_.try_emplace(uint64_t{pos} << 8 | static_cast<uint8_t>(item), out_->lines.size());
    if (!first) return (void)++out_->lines[at->second].times;
    out_->lines.push_back(line);
    const uint32_t size = item == smd::Item::kText           ? value
                          : item == smd::Item::kVtableLength ? 4
                          : item == smd::Item::kSlot         ? 2
                                                             : 4;
    if (pos + size >= out_->end) out_->end = pos + size, out_->endsInText = item == smd::Item::kText;
    if (item == smd::Item::kText) {
        if (const void *nul = memchr(buf_ + pos, 0, value)) {
            const auto at = static_cast<uint32_t>(static_cast<const uint8_t *>(nul) - buf_);
            out_->nulBytes.push_back(Format("%s.%s: the %u-byte string at %u holds a NUL at %u; the record keeps ",
                                            table_, field_, value, pos, at) +
                                     Quoted(buf_ + pos, at - pos, false));
        }
    }
}

void Collector::Refuse(smd::Rule rule, uint32_t pos, uint32_t value) {
    const std::string where = *field_ == '\0' ? "" : std::string(field_) + ": ";
    switch (rule) {
        case smd::Rule::kParams:
            out_->refusal = "a buffer of " + Count(value, "byte") + " is below the 4-byte minimum";
            break;
        case smd::Rule::kTableOffset:
            // The offset came from the last item read: the root offset or a forward offset.
            out_->refusal =
                Format("table offset %u (from the offset at %u) ", value, lastPos_) +
                (len_ >= 8 ? Format("is outside 4 to %u", len_ - 4)
                           : Format("cannot lie in a %u-byte buffer: a table lies at 4 to the length less 4", len_));
            break;
        case smd::Rule::kVtableOffset:
            out_->refusal =
                Format("the vtable delta at %u puts the vtable at %u, outside 4 to %u", pos, value, len_ - 4);
            break;
        case smd::Rule::kVtableLength:
            out_->refusal =
                Format("vtable length %u at %u runs past the end (", value, pos) + Count(len_ - pos, "byte") + " left)";
            break;
        case smd::Rule::kPastEnd:
            out_->refusal = where + Count(value, "byte") + Format(" at %u ", pos) + (value == 1 ? "runs" : "run") +
                            Format(" past the end of the %u-byte buffer", len_);
            break;
        case smd::Rule::kWraps:
            out_->refusal = where + Format("forward offset %u at %u wraps past 2^32", value, pos);
            break;
        case smd::Rule::kCount: out_->refusal = where + Format("count %u at %u is above 0x3FFFFFFF", value, pos); break;
        case smd::Rule::kNoMemory: out_->refusal = where + "allocation of " + Count(value, "byte") + " failed"; break;
    }
}

bool Inspected(const smd::Message &m, const uint8_t *buf, uint32_t len, Layout &layout) {
    Collector collector(buf, len, &layout);
    return smd::Inspect(m, buf, len, collector);
}

uint32_t DataEnd(const Layout &layout, const uint8_t *buf, uint32_t len) {
    const uint32_t end = layout.end;
    return layout.endsInText && end < len && buf[end] == 0 ? end + 1 : end;
}

std::vector<std::string> Warnings(const Layout &layout, const uint8_t *buf, uint32_t len) {
    if (!layout.refusal.empty()) return {};
    std::vector<std::string> out = layout.nulBytes;
    const uint32_t end = DataEnd(layout, buf, len);
    if (end < len) {
        out.push_back(Count(len - end, "byte") + Format(" at %u after the message's data ", end) +
                      (len - end == 1 ? "is" : "are") + " never read by the decoder");
    }
    return out;
}

void PrintLayout(smd::JsonOut &out, const Layout &layout, const uint8_t *buf, uint32_t len, uint64_t base, bool full,
                 bool json) {
    std::vector<const Layout::Line *> lines;
    lines.reserve(layout.lines.size());
    for (const Layout::Line &l : layout.lines) lines.push_back(&l);
    std::stable_sort(lines.begin(), lines.end(), [](auto *a, auto *b) { return a->pos < b->pos; });
    bool first = true;
    auto row = [&](uint32_t pos, uint32_t size, const std::string &meaning, uint32_t times) {
        std::string bytes;
        for (uint32_t i = 0; i < size && (json || i < 8); ++i) bytes += Format(json ? "%02x" : "%02x ", buf[pos + i]);
        if (json) {
            out.Put(Format("%s\n    {\"offset\": %llu, \"size\": %u, \"bytes\": \"", first ? "" : ",",
                           static_cast<unsigned long long>(base + pos), size) +
                    bytes + "\", \"meaning\": " + smd::BytesJson(meaning) +
                    (times > 1 ? Format(", \"times\": %u}", times) : std::string("}")));
        } else {
            if (size > 8) bytes += "...";
            out.Put(Format("%6llu  %-28s", static_cast<unsigned long long>(base + pos), bytes.c_str()) + meaning +
                    (times > 1 ? Format(" (read %u times)", times) : "") + "\n");
        }
        first = false;
    };
    if (json) out.Put("  \"items\": [");
    if (!json) out.Put(Format("%-8s%-28s%s\n", "offset", "bytes", "meaning"));
    uint32_t next = 0;  // the first byte no line has covered
    for (const Layout::Line *l : lines) {
        if (l->pos > next) row(next, l->pos - next, "not read by the decoder", 1);
        const auto [size, meaning] = Meaning(*l, buf, full);
        row(l->pos, size, meaning, l->times);
        if (l->item == smd::Item::kVtableLength) {
            // Written by the encoder, never checked by the decoder.
            row(l->pos + 2, 2, Format("%s vtable: table length %u", l->table, buf[l->pos + 2] | buf[l->pos + 3] << 8),
                l->times);
        }
        next = std::max(next, l->pos + (l->item == smd::Item::kVtableLength ? 4 : size));
    }
    if (next < len && layout.refusal.empty()) row(next, len - next, "not read by the decoder", 1);
    if (json) {
        out.Put(std::string(first ? "" : "\n  ") + "],\n  \"accepted\": " +
                (layout.refusal.empty() ? "true" : "false, \"refusal\": " + smd::BytesJson(layout.refusal)) + "\n");
    } else {
        out.Put(layout.refusal.empty() ? "accepted\n" : "rejected: " + layout.refusal + "\n");
    }
}

}  // namespace sshmsg
