#include "hex.h"

#include <stdio.h>

#include <algorithm>
#include <stdexcept>

#include "record_json.h"

namespace sshmsg {
namespace {

constexpr size_t kTokenHeld = 64;               // a word longer than this is no declaration
constexpr size_t kFormLine = 4096;              // text read at most to tell the form
constexpr size_t kDumpLine = 65536;             // the longest line of a dump
constexpr uint64_t kMostRepeated = 1ull << 31;  // bytes one "*" may stand for
constexpr size_t kBatch = 65536;                // bytes handed to the sink at a time

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') return (c | 0x20) - 'a' + 10;
    return -1;
}

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

bool Separator(char c) { return Blank(c) || c == ',' || c == ';' || c == '{' || c == '}'; }

bool IsBlank(std::string_view s) {
    for (const char c : s) {
        if (!Blank(c)) return false;
    }
    return true;
}

std::string Hex64(uint64_t v) {
    char text[32];
    snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(v));
    return text;
}

}  // namespace

void HexReader::Fail(Pos pos, const std::string &what) const {
    throw Error("offset " + std::to_string(pos.at) + " (line " + std::to_string(pos.line) + ", column " +
                std::to_string(pos.column) + "): " + what);
}

void HexReader::FailChar(Pos pos, char c, const char *what) const {
    Fail(pos, "'" + Escape(std::string(1, c)) + "' " + what);
}

void HexReader::Feed(std::string_view text) {
    if (form_ != Form::kUnknown) return Run(text);
    pending_.append(text);
    // The first line that is not blank tells the form, once it is complete.
    for (size_t start = 0;;) {
        const size_t end = pending_.find('\n', start);
        if (!IsBlank(std::string_view(pending_).substr(start, end - start))) {
            if (end == std::string::npos && pending_.size() < kFormLine) return;
            break;
        }
        if (end == std::string::npos) {
            if (pending_.size() < kFormLine) return;
            break;
        }
        start = end + 1;
    }
    Decide();
}

void HexReader::Decide() {
    // From the first line that is not blank: "OFFSET:" starts an xxd line,
    // "OFFSET  " a hexdump -C line when its ASCII column follows.
    const size_t from = std::min(pending_.find_first_not_of(" \t\r\n\v\f"), pending_.size());
    const std::string_view line = std::string_view(pending_).substr(from, pending_.find('\n', from) - from);
    size_t digits = 0;
    while (digits < line.size() && HexValue(line[digits]) >= 0) ++digits;
    const std::string_view rest = line.substr(digits);
    form_ = digits > 0 && rest.starts_with(":")                                    ? Form::kXxd
            : digits >= 4 && rest.starts_with("  ") && rest.find('|') != rest.npos ? Form::kHexdump
                                                                                   : Form::kFree;
    const std::string held = std::move(pending_);
    pending_.clear();
    Run(held);
}

void HexReader::Run(std::string_view text) {
    for (const char c : text) {
        if (form_ == Form::kFree) {
            FreeChar(c);
        } else if (c == '\n') {
            DumpLine();
            lineText_.clear();
        } else {
            if (lineText_.size() == kDumpLine) Fail(Here(), "a dump line longer than 65536 characters");
            lineText_ += c;
        }
        ++at_;
        if (c == '\n') ++line_, lineAt_ = at_;
    }
}

void HexReader::Finish() {
    if (form_ == Form::kUnknown) Decide();
    if (form_ == Form::kFree) {
        if (state_ == State::kToken) EndToken();
        if (state_ == State::kSlash) FailChar(slashPos_, '/', "is not a hex digit");
        if (state_ == State::kBlockComment || state_ == State::kBlockStar) Fail(slashPos_, "'/*' is never closed");
        if (high_ >= 0) Fail(highPos_, "an odd number of hex digits ends here");
        if (declaration_) FailChar(declarationPos_, declarationChar_, "is not a hex digit");
        if (braces_ > 0) Fail(bracePos_, "'{' is never closed");
    } else {
        DumpLine();
        lineText_.clear();
        if (repeat_) Fail(Here(), "no offset line after '*' says where the repeated lines end");
    }
    Flush();
}

void HexReader::FreeChar(char c) {
    switch (state_) {
        case State::kDone: return;  // whatever follows the initialiser
        case State::kLineComment:
            if (c == '\n') state_ = State::kBlank;
            return;
        case State::kBlockComment:
            if (c == '*') state_ = State::kBlockStar;
            return;
        case State::kBlockStar:
            state_ = c == '/' ? State::kBlank : c == '*' ? State::kBlockStar : State::kBlockComment;
            return;
        case State::kSlash:
            if (c != '/' && c != '*') FailChar(slashPos_, '/', "is not a hex digit");
            state_ = c == '/' ? State::kLineComment : State::kBlockComment;
            return;
        case State::kBlank:
        case State::kToken: break;
    }
    if (c == '/' || Separator(c)) {
        if (state_ == State::kToken) EndToken();
        state_ = State::kBlank;
        if (c == '/') {
            state_ = State::kSlash;
            slashPos_ = Here();
        } else if (c == '{' && braces_++ == 0) {
            bracePos_ = Here();
            declaration_ = false;  // the words before were its declaration
        } else if (c == '}') {
            if (braces_ == 0) FailChar(Here(), c, "closes no '{'");
            if (--braces_ == 0) state_ = State::kDone;
        }
        return;
    }
    if (state_ == State::kBlank) {
        state_ = State::kToken;
        token_.clear();
        tokenPos_ = Here();
        streaming_ = false;
    }
    if (streaming_) {
        const int v = HexValue(c);
        if (v < 0) FailChar(Here(), c, "is not a hex digit");
        return Digit(v, Here());
    }
    if (token_.size() < kTokenHeld) token_ += c;
    if (token_.size() == kTokenHeld && token_.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string::npos &&
        HexValue(token_[0]) >= 0 && (HexValue(token_[1]) >= 0 || (token_[0] == '0' && (token_[1] | 0x20) == 'x'))) {
        TakeDigits();  // too long for a word: the rest of the run is passed on as it comes
        streaming_ = true;
    }
}

// The held token, all hex digits after an optional 0x: its digits passed on.
void HexReader::TakeDigits() {
    size_t from = 0;
    if (token_.size() >= 2 && token_[0] == '0' && (token_[1] | 0x20) == 'x') {
        if (high_ >= 0) Fail(highPos_, "an odd number of hex digits ends here");
        prefixed_ = true;
        digits_ = 0;
        from = 2;
    }
    for (size_t i = from; i < token_.size(); ++i) Digit(HexValue(token_[i]), tokenPos_.Plus(i));
}

void HexReader::EndToken() {
    if (!streaming_) {
        const bool prefixed = token_.size() >= 2 && token_[0] == '0' && (token_[1] | 0x20) == 'x';
        const size_t bad = token_.find_first_not_of("0123456789abcdefABCDEF", prefixed ? 2 : 0);
        if (bad == std::string::npos) {
            TakeDigits();
        } else if (braces_ == 0 && bytes_ == 0 && high_ < 0) {
            // A word before any byte: a C declaration if a '{' follows.
            if (!declaration_) declarationPos_ = tokenPos_.Plus(bad), declarationChar_ = token_[bad];
            declaration_ = true;
        } else {
            FailChar(tokenPos_.Plus(bad), token_[bad], "is not a hex digit");
        }
    }
    if (prefixed_) {
        prefixed_ = false;
        if (digits_ == 0) Fail(tokenPos_, "'0x' without digits");
        if (digits_ == 1) {
            Byte(static_cast<uint8_t>(high_));  // 0x5 is the byte 05
            high_ = -1;
        } else if (digits_ % 2 != 0) {
            Fail(highPos_, "an odd number of hex digits after '0x' ends here");
        }
    }
}

void HexReader::Digit(int value, Pos pos) {
    digits_ += prefixed_;
    if (high_ < 0) {
        high_ = value;
        highPos_ = pos;
    } else {
        Byte(static_cast<uint8_t>(high_ << 4 | value));
        high_ = -1;
    }
}

void HexReader::Byte(uint8_t b) {
    if (declaration_) FailChar(declarationPos_, declarationChar_, "is not a hex digit");
    out_ += static_cast<char>(b);
    ++bytes_;
    if (out_.size() == kBatch) Flush();
}

void HexReader::Flush() {
    if (!out_.empty()) sink_(reinterpret_cast<const uint8_t *>(out_.data()), out_.size());
    out_.clear();
}

void HexReader::DumpLine() {
    std::string_view s = lineText_;
    if (s.ends_with('\r')) s.remove_suffix(1);
    const size_t i = s.find_first_not_of(" \t");
    if (i == std::string::npos) return;
    const Pos start{lineAt_, line_, 1};
    if (s.substr(i, s.find_last_not_of(" \t") + 1 - i) == "*") {
        if (!started_) Fail(start.Plus(i), "'*' before any line it could repeat");
        repeat_ = true;
        return;
    }
    size_t j = i;
    uint64_t offset = 0;
    for (; j < s.size() && HexValue(s[j]) >= 0; ++j) {
        if (j - i == 16) Fail(start.Plus(i), "an offset column longer than 16 digits");
        offset = offset << 4 | static_cast<uint64_t>(HexValue(s[j]));
    }
    if (j == i) FailChar(start.Plus(i), s[i], "where the offset column should start");
    if (form_ == Form::kXxd) {
        if (j == s.size() || s[j] != ':') Fail(start.Plus(j), "no ':' after the offset column");
        ++j;
    } else if (j < s.size() && s[j] != ' ' && s[j] != '\t') {
        FailChar(start.Plus(j), s[j], "is not a hex digit");
    }
    if (!started_) started_ = true, base_ = offset;
    if (repeat_) {
        // "*": the line before, again and again, up to this offset.
        repeat_ = false;
        const uint64_t gap = offset - base_ - bytes_;
        if (offset > base_ + bytes_ && !previous_.empty() && gap % previous_.size() == 0 && gap <= kMostRepeated) {
            for (uint64_t k = 0; k < gap; ++k) Byte(static_cast<uint8_t>(previous_[k % previous_.size()]));
        }
    }
    if (offset != base_ + bytes_) {
        Fail(start.Plus(i), "the offset column says " + Hex64(offset) + " where " + Hex64(base_ + bytes_) +
                                " follows the lines before");
    }
    // The hex column: up to two blanks (xxd) or to '|' (hexdump -C), where the
    // ASCII column starts.
    const std::string_view rest = s.substr(j);
    const std::string_view hex = rest.substr(0, form_ == Form::kXxd ? rest.find("  ") : rest.find('|'));
    previous_.clear();
    for (size_t k = 0; k < hex.size();) {
        if (hex[k] == ' ' || hex[k] == '\t') {
            ++k;
            continue;
        }
        const size_t group = k;
        for (; k < hex.size() && hex[k] != ' ' && hex[k] != '\t'; ++k) {
            if (HexValue(hex[k]) < 0) FailChar(start.Plus(j + k), hex[k], "is not a hex digit");
        }
        if ((k - group) % 2 != 0 || (form_ == Form::kHexdump && k - group != 2)) {
            Fail(start.Plus(j + group), "a group of " + std::to_string(k - group) + " hex digits");
        }
        for (size_t d = group; d < k; d += 2) {
            const auto b = static_cast<uint8_t>(HexValue(hex[d]) << 4 | HexValue(hex[d + 1]));
            previous_ += static_cast<char>(b);
            Byte(b);
        }
    }
}

}  // namespace sshmsg
