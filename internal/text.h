// Text as the code beside the library reads and writes it: bytes as hex, in
// every form engineers paste, and back as plain hex; bytes made fit for a
// terminal; numbers; the place of a character in a text. The sshmsg tool, the
// case runner, the vectors and the fuzz targets all use these, so a form is
// read the same everywhere and a typo is an error, never a shorter buffer.
//
// Hex text is read whole:
//   plain hex         0e000000 0a00 1f00 (whole bytes, whitespace between them)
//   0x prefixes       0x0e 0x00, or 0x0e0000000a00 (one byte for a single digit)
//   C initialisers    static const uint8_t m[] = {0x0e, 0x00, /* root */ ...};
//                     with commas, braces, semicolons, // and /* */ comments; a
//                     declaration before the brace (a log line's prefix, an
//                     array's size and all) and whatever follows the closing
//                     brace (xxd -i's length variable) are left alone
//   xxd               00000000: 0e00 0000 0a00 1f00  ........ (default grouping
//                     or -g 1), read as xxd -r reads it: the hex column, even
//                     where an edit left the ASCII column behind
//   hexdump -C        00000000  0e 00 00 00 0a 00 1f 00  |........|, or with the
//                     ASCII column cut off and the final offset line kept
//   od -tx1           0000000 0e 00 00 00 0a 00 1f 00, with its offsets (hex,
//                     decimal or octal) and its final offset line
// The first line that is not blank tells the form. A dump is read only as its
// writer lays it out: the offset column counts the bytes from the first line's
// offset, a "*" line repeats the line before it up to the next offset, and
// hexdump -C's ASCII column, where it is kept, shows the line's bytes.
// Anything else is refused, saying where: words of more than a byte (od -tx2,
// od's octal default, hexdump, xxd -e), whose byte order is the writing
// machine's, and a line that is only the offset ending an empty dump, which
// may as well be bytes.
// Errors are thrown as std::runtime_error, one line each.
#ifndef SSH_MSG_DEF_INTERNAL_TEXT_H
#define SSH_MSG_DEF_INTERNAL_TEXT_H

#include <stddef.h>
#include <stdint.h>

#include <optional>
#include <string>
#include <string_view>

namespace ssh_msg_def::internal {

// The most bytes the tool reads from an input, and the most bytes a "*" line
// of a dump may stand for.
inline constexpr size_t kMaxInput = 64u << 20;

// "offset 9 (line 2, column 5)": where the character at `pos` of `text` is.
std::string Where(std::string_view text, size_t pos);

// Throws at the first character at or after `from` that no form holds (a NUL
// or another control character but whitespace).
void CheckText(std::string_view text, size_t from = 0);

// The bytes the hex text stands for; throws saying what is wrong and where.
std::string ParseHex(std::string_view text);

// Lower-case plain hex, two digits a byte.
std::string ToHex(std::string_view bytes);

// The length of the strict UTF-8 sequence that starts `s` (no overlong form,
// no surrogate, nothing above U+10FFFF), or 0 when it starts none.
size_t Utf8Length(std::string_view s);
bool ValidUtf8(std::string_view s);

// Text fit for a terminal: printable ASCII and valid UTF-8 stay, every other
// byte (control bytes, C1 controls, stray bytes above 0x7F) is written \xNN.
std::string Escape(std::string_view text);

// A number as the tools take one: decimal, or hex after 0x; no sign, no
// blanks, nothing after it, lo to hi. Nothing when the text is not one.
std::optional<uint64_t> ParseNumber(std::string_view text, uint64_t lo = 0, uint64_t hi = UINT64_MAX);

}  // namespace ssh_msg_def::internal

#endif
