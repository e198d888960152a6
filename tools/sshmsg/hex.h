// Hex text as engineers paste it, read whole:
//   plain hex         0e000000 0a00 1f00 (whole bytes, whitespace between them)
//   0x prefixes       0x0e 0x00, or 0x0e0000000a00 (one byte for a single digit)
//   C initialisers    static const uint8_t m[] = {0x0e, 0x00, /* root */ ...};
//                     with commas, braces, semicolons, // and /* */ comments; a
//                     declaration before the brace and whatever follows the
//                     closing brace (xxd -i's length variable) are left alone
//   xxd               00000000: 0e00 0000 0a00 1f00  ........ (default grouping
//                     or -g 1)
//   hexdump -C        00000000  0e 00 00 00 0a 00 1f 00  |........|
// The first line that is not blank tells the form. A dump is read only as its
// writer lays it out: the offset column counts the bytes from the first line's
// offset, a "*" line repeats the line before it up to the next offset, and the
// ASCII column shows the line's bytes. Anything else is refused, saying where.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <string_view>

namespace sshmsg {

// The most bytes the tool reads from an input, and the most bytes a "*" line
// of a dump may stand for.
inline constexpr size_t kMaxInput = 64u << 20;

// "offset 9 (line 2, column 5)": where the character at `pos` of `text` is.
std::string Where(std::string_view text, size_t pos);

// Throws at the first character at or after `from` that no form holds (a NUL
// or another control character but whitespace).
void CheckText(std::string_view text, size_t from = 0);

// The bytes the text stands for; throws std::runtime_error saying what is
// wrong and where.
std::string ParseHex(std::string_view text);

// Lower-case hex.
std::string ToHex(std::string_view bytes);

// Text fit for a terminal: printable ASCII and valid UTF-8 stay, every other
// byte (control bytes, C1 controls, stray bytes above 0x7F) is written \xNN.
std::string Escape(std::string_view text);

}  // namespace sshmsg
