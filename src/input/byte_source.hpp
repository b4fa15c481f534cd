// Where the bytes of delimited text come from: an open stream or memory.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>

namespace tolvane {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Up to `n` bytes into `out`; 0 at the end or on an error.
  virtual std::size_t read(char* out, std::size_t n) = 0;
  virtual bool failed() const { return false; }
  // The total number of bytes when known, else 0.
  virtual std::uint64_t size() const { return 0; }
};

// A stream opened by the caller, who keeps ownership.
class FileByteSource : public ByteSource {
 public:
  explicit FileByteSource(std::FILE* file);
  std::size_t read(char* out, std::size_t n) override;
  bool failed() const override;
  std::uint64_t size() const override { return size_; }

 private:
  std::FILE* file_;
  std::uint64_t size_ = 0;
};

class MemoryByteSource : public ByteSource {
 public:
  explicit MemoryByteSource(std::string_view bytes) : bytes_(bytes) {}
  std::size_t read(char* out, std::size_t n) override;
  std::uint64_t size() const override { return bytes_.size(); }

 private:
  std::string_view bytes_;
  std::size_t pos_ = 0;
};

}  // namespace tolvane
