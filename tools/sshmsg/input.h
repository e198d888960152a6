// What the commands read, each input with a limit that holds as soon as the
// input passes it: a buffer (binary or hex text) that may be cut out of a
// larger capture, and JSON text.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <optional>
#include <string>

namespace sshmsg {

// The longest buffer a decoder accepts: its length must read as a positive
// signed 32-bit number.
inline constexpr uint32_t kMaxBuffer = 0x7FFFFFFF;
// The most JSON text encode and send read.
inline constexpr size_t kMaxJson = 64u << 20;
// The most hex text read: more characters than any form spends on
// kMaxBuffer bytes (a C initialiser writes about 6 a byte).
inline constexpr uint64_t kMaxHexText = 8ull * kMaxBuffer;

// --offset and --length: the bytes of the input that form the buffer.
struct Cut {
    uint64_t offset = 0;
    std::optional<uint32_t> length;
};

// A buffer in memory that is reserved, not committed: a run of zero bytes (a
// stream of them, say) takes no memory, since fresh pages read as zero.
class Buffer {
  public:
    explicit Buffer(uint64_t room);
    Buffer(Buffer &&other) noexcept;
    Buffer &operator=(Buffer &&) = delete;
    ~Buffer();

    void Append(const uint8_t *bytes, size_t count);  // within the room
    const uint8_t *data() const { return base_; }
    uint32_t size() const { return static_cast<uint32_t>(size_); }

  private:
    uint8_t *base_;
    size_t room_, size_ = 0;
};

// "standard input" for "-", else the file's name.
std::string InputName(const std::string &file);

// The buffer in FILE ("-": standard input), binary or hex text (see hex.h),
// cut as asked; the cut is checked against what the input holds.
Buffer ReadBuffer(const std::string &file, bool hex, const Cut &cut);

// The whole of FILE as text, at most kMaxJson bytes.
std::string ReadJsonText(const std::string &file);

}  // namespace sshmsg
