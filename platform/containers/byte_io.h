// Little-endian writing and bounds-checked reading of the primitive pieces of the
// saved dictionary form. The reader never reads past its end: every read answers
// false instead, and a caller stops decoding at the first false.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>

namespace wayfind::platform::fileformat {

// Writes into out; with a sink, what out holds is handed to the sink and out
// emptied whenever spill() finds it holding spillAt bytes or more, and a piece of
// that size or more goes to the sink at once, so a large output never lies whole
// in memory. finish() hands over the rest.
class ByteWriter {
 public:
  using Sink = std::function<void(std::string_view)>;
  explicit ByteWriter(std::string& out) : out_(out) {}
  ByteWriter(std::string& out, Sink sink, size_t spillAt) : out_(out), sink_(std::move(sink)), spillAt_(spillAt) {}

  void u8(uint8_t v) { out_.push_back(static_cast<char>(v)); }
  void u16(uint16_t v) { fixed(v); }
  void u32(uint32_t v) { fixed(v); }
  void u64(uint64_t v) { fixed(v); }
  void f64(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    fixed(bits);
  }
  void bytes(std::string_view b) {
    if (sink_ && b.size() >= spillAt_) {
      finish();
      sink_(b);
      spilled_ += b.size();
      return;
    }
    out_.append(b.data(), b.size());
  }
  // Everything written, handed over or not.
  size_t size() const { return spilled_ + out_.size(); }
  // Zero bytes up to the next multiple of eight from the start of the output
  // (which is the start of a file or of its content: the header is 24 bytes).
  void align8() { out_.append((8 - size() % 8) % 8, '\0'); }
  // The bytes not handed over yet, for appending a whole array at once (a spill
  // happens only in spill(), finish() and bytes()).
  std::string& buffer() { return out_; }
  // Hands what is held to the sink when it has grown to spillAt.
  void spill() {
    if (sink_ && out_.size() >= spillAt_) finish();
  }
  void finish() {
    if (!sink_ || out_.empty()) return;
    sink_(out_);
    spilled_ += out_.size();
    out_.clear();
  }

 private:
  template <class T>
  void fixed(T v) {
    char buf[sizeof(T)];
    for (size_t i = 0; i < sizeof(T); ++i) buf[i] = static_cast<char>(v >> (8 * i));
    out_.append(buf, sizeof(T));
  }

  std::string& out_;
  Sink sink_;
  size_t spillAt_ = 0;
  size_t spilled_ = 0;
};

class ByteReader {
 public:
  explicit ByteReader(std::string_view in) : begin_(in.data()), p_(in.data()), end_(in.data() + in.size()) {}

  size_t remaining() const { return static_cast<size_t>(end_ - p_); }
  bool atEnd() const { return p_ == end_; }
  // Where the next byte lies, counted from the start of the input.
  size_t offset() const { return static_cast<size_t>(p_ - begin_); }
  // Skips to the next multiple of eight from the start of the input (see
  // ByteWriter::align8); false when the input ends first.
  bool align8() {
    const size_t pad = (8 - offset() % 8) % 8;
    if (pad > remaining()) return false;
    p_ += pad;
    return true;
  }

  bool u8(uint8_t& v) { return fixed(v); }
  bool u16(uint16_t& v) { return fixed(v); }
  bool u32(uint32_t& v) { return fixed(v); }
  bool u64(uint64_t& v) { return fixed(v); }
  bool f64(double& v) {
    uint64_t bits;
    if (!fixed(bits)) return false;
    std::memcpy(&v, &bits, sizeof v);
    return true;
  }
  // A view of the next n bytes; false (nothing consumed) when fewer remain.
  bool bytes(size_t n, std::string_view& v) {
    if (n > remaining()) return false;
    v = std::string_view(p_, n);
    p_ += n;
    return true;
  }

 private:
  template <class T>
  bool fixed(T& v) {
    if (remaining() < sizeof(T)) return false;
    T r = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
      r |= static_cast<T>(static_cast<unsigned char>(p_[i])) << (8 * i);
    v = r;
    p_ += sizeof(T);
    return true;
  }

  const char* begin_;
  const char* p_;
  const char* end_;
};

}  // namespace wayfind::platform::fileformat
