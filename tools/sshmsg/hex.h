// Hex text as engineers paste it, turned into bytes while it is read:
//   plain hex         0e000000 0a00 1f00 (whitespace anywhere, digits pair up
//                     across it)
//   0x prefixes       0x0e 0x00, or 0x0e0000000a00 (one byte for a single digit)
//   C initialisers    static const uint8_t m[] = {0x0e, 0x00, /* root */ ...};
//                     with commas, braces, semicolons, // and /* */ comments; a
//                     declaration before the brace and whatever follows the
//                     closing brace (xxd -i's length variable) are left alone
//   xxd               00000000: 0e00 0000 0a00 1f00  ........ (default or -g N
//                     grouping, not -e)
//   hexdump -C        00000000  0e 00 00 00 0a 00 1f 00  |........|
// The form is told from the first line that is not blank. In the two dump
// forms the offset column is checked against the bytes read so far (the first
// line's offset counts as the start), the ASCII column is ignored and a "*"
// line repeats the line before it up to the next offset. Errors name the
// offset, line and column of the text where they arise, with any byte that is
// not printable shown escaped.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace sshmsg {

class HexReader {
  public:
    // What is wrong with the text, and where.
    struct Error : std::runtime_error {
        using std::runtime_error::runtime_error;
    };
    using Sink = std::function<void(const uint8_t *bytes, size_t count)>;
    explicit HexReader(Sink sink) : sink_(std::move(sink)) {}

    // The next piece of text, of any size; throws Error.
    void Feed(std::string_view text);
    // The end of the text.
    void Finish();

  private:
    enum class Form { kUnknown, kFree, kXxd, kHexdump };
    enum class State { kBlank, kToken, kSlash, kLineComment, kBlockComment, kBlockStar, kDone };
    // A place in the text.
    struct Pos {
        uint64_t at, line, column;
        Pos Plus(size_t n) const { return {at + n, line, column + n}; }
    };

    void Decide();
    void Run(std::string_view text);
    void FreeChar(char c);
    void TakeDigits();
    void EndToken();
    void DumpLine();
    void Digit(int value, Pos pos);
    void Byte(uint8_t b);
    void Flush();
    Pos Here() const { return {at_, line_, at_ - lineAt_ + 1}; }
    [[noreturn]] void Fail(Pos pos, const std::string &what) const;
    [[noreturn]] void FailChar(Pos pos, char c, const char *what) const;

    Sink sink_;
    Form form_ = Form::kUnknown;
    std::string pending_;                      // text held until the form is known
    uint64_t at_ = 0, lineAt_ = 0, line_ = 1;  // the next character, and the start of its line
    uint64_t bytes_ = 0;                       // bytes passed on so far
    std::string out_;                          // bytes not yet handed to the sink

    // Free form.
    State state_ = State::kBlank;
    std::string token_;  // the token so far, up to its first kTokenHeld characters
    Pos tokenPos_{}, slashPos_{}, bracePos_{}, highPos_{}, declarationPos_{};
    bool streaming_ = false;  // a long run of digits, passed on as it comes
    bool prefixed_ = false;   // a token after 0x, with digits_ digits so far
    uint64_t digits_ = 0;
    int high_ = -1;  // a digit waiting for its pair, at highPos_
    int braces_ = 0;
    bool declaration_ = false;  // words before an initialiser's brace: an error unless the brace follows
    char declarationChar_ = 0;

    // Dump forms.
    std::string lineText_;  // the current line
    bool started_ = false, repeat_ = false;
    uint64_t base_ = 0;     // the first line's offset
    std::string previous_;  // the bytes of the line before, for "*"
};

}  // namespace sshmsg
