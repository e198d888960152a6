#include "input.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

#include "hex.h"

namespace sshmsg {
namespace {

constexpr size_t kChunk = 1 << 20;

// An open input and, for a regular file, what is left of it to read.
class InputFile {
  public:
    explicit InputFile(const std::string &file) : name_(InputName(file)) {
        fd_ = file == "-" ? STDIN_FILENO : open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) Fail();
        struct stat st;
        const off_t at = lseek(fd_, 0, SEEK_CUR);
        if (fstat(fd_, &st) == 0 && S_ISREG(st.st_mode) && at >= 0 && st.st_size >= at) left_ = st.st_size - at;
    }
    ~InputFile() {
        if (fd_ != STDIN_FILENO) close(fd_);
    }
    const std::string &Name() const { return name_; }
    std::optional<uint64_t> Left() const { return left_; }
    void Skip(uint64_t count) {
        if (lseek(fd_, static_cast<off_t>(count), SEEK_CUR) < 0) Fail();
    }
    // 0 at the end.
    size_t Read(char *buf, size_t room) {
        ssize_t n;
        while ((n = read(fd_, buf, room)) < 0) {
            if (errno != EINTR) Fail();
        }
        return static_cast<size_t>(n);
    }

  private:
    [[noreturn]] void Fail() const { throw std::runtime_error(name_ + ": " + strerror(errno)); }

    std::string name_;
    int fd_;
    std::optional<uint64_t> left_;
};

bool AllZero(const uint8_t *p, size_t n) { return n == 0 || (p[0] == 0 && memcmp(p, p + 1, n - 1) == 0); }

}  // namespace

Buffer::Buffer(uint64_t room) : room_(std::max<uint64_t>(room, 1)) {
    void *map = mmap(nullptr, room_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (map == MAP_FAILED)
        throw std::runtime_error("cannot reserve " + std::to_string(room_) + " bytes: " + strerror(errno));
    base_ = static_cast<uint8_t *>(map);
}

Buffer::Buffer(Buffer &&other) noexcept : base_(other.base_), room_(other.room_), size_(other.size_) {
    other.base_ = nullptr;
}

Buffer::~Buffer() {
    if (base_ != nullptr) munmap(base_, room_);
}

void Buffer::Append(const uint8_t *bytes, size_t count) {
    if (!AllZero(bytes, count)) memcpy(base_ + size_, bytes, count);
    size_ += count;
}

std::string InputName(const std::string &file) { return file == "-" ? "standard input" : file; }

Buffer ReadBuffer(const std::string &file, bool hex, const Cut &cut) {
    InputFile in(file);
    const std::string name = in.Name();
    const std::string from = cut.offset ? " after --offset " + std::to_string(cut.offset) : "";
    // The bytes [offset, end) of the input are kept.
    const uint64_t end = cut.length ? cut.offset + *cut.length : UINT64_MAX;
    if (end < cut.offset) throw std::runtime_error("--offset and --length reach past 2^64");
    const auto tooLong = [&] {
        return std::runtime_error(name + ": more than " + std::to_string(kMaxBuffer) +
                                  (hex ? " bytes in hex" : " bytes") + from + ", the most a decoder accepts");
    };
    uint64_t seen = 0;  // input bytes (decoded ones, for hex) so far
    if (!hex && in.Left()) {
        // A file's size settles the cut before anything is read.
        const uint64_t size = *in.Left();
        if (cut.offset <= size && !cut.length && size - cut.offset > kMaxBuffer) throw tooLong();
        if (cut.offset <= size && end <= size) {
            in.Skip(cut.offset);
            seen = cut.offset;
        }
    }
    Buffer out(cut.length ? *cut.length : kMaxBuffer);
    const auto take = [&](const uint8_t *bytes, size_t count) {
        const uint64_t first = std::max(seen, cut.offset), last = std::min(seen + count, end);
        if (first < last) {
            if (out.size() + (last - first) > kMaxBuffer) throw tooLong();
            out.Append(bytes + (first - seen), last - first);
        }
        seen += count;
    };
    HexReader reader(take);
    // The reader's errors say where in the text they arise; this says which text.
    const auto read = [&](auto step) {
        try {
            step();
        } catch (const HexReader::Error &e) {
            throw std::runtime_error(name + ": " + e.what());
        }
    };
    const std::unique_ptr<char[]> chunk(new char[kChunk]);
    uint64_t text = 0;
    while (seen < end) {
        const size_t n = in.Read(chunk.get(), kChunk);
        if (n == 0) {
            if (hex) read([&] { reader.Finish(); });
            break;
        }
        if (!hex) {
            take(reinterpret_cast<const uint8_t *>(chunk.get()), n);
            continue;
        }
        if ((text += n) > kMaxHexText) {
            throw std::runtime_error(name + ": more than " + std::to_string(kMaxHexText) + " characters of hex text");
        }
        read([&] { reader.Feed(std::string_view(chunk.get(), n)); });
    }
    const std::string size = "the " + std::to_string(seen) + (hex ? "-byte hex input" : "-byte input");
    if (cut.offset > seen)
        throw std::runtime_error(name + ": --offset " + std::to_string(cut.offset) + " is past the end of " + size);
    if (end != UINT64_MAX && end > seen) {
        throw std::runtime_error(name + ":" + (cut.offset ? " --offset " + std::to_string(cut.offset) : "") +
                                 " --length " + std::to_string(*cut.length) + " runs past the end of " + size);
    }
    return out;
}

std::string ReadJsonText(const std::string &file) {
    InputFile in(file);
    const auto tooLong = [&] {
        return std::runtime_error(in.Name() + ": more than " + std::to_string(kMaxJson) + " bytes of JSON");
    };
    if (in.Left() > kMaxJson) throw tooLong();
    std::string text;
    const std::unique_ptr<char[]> chunk(new char[kChunk]);
    while (const size_t n = in.Read(chunk.get(), kChunk)) {
        if (text.size() + n > kMaxJson) throw tooLong();
        text.append(chunk.get(), n);
    }
    return text;
}

}  // namespace sshmsg
