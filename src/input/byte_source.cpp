#include "input/byte_source.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

namespace tolvane {

FileByteSource::FileByteSource(std::FILE* file) : file_(file) {
  struct stat st {};
  if (file != nullptr && fstat(fileno(file), &st) == 0 && S_ISREG(st.st_mode))
    size_ = static_cast<std::uint64_t>(st.st_size);
}

std::size_t FileByteSource::read(char* out, std::size_t n) {
  return file_ == nullptr ? 0 : std::fread(out, 1, n, file_);
}

bool FileByteSource::failed() const {
  return file_ == nullptr || std::ferror(file_) != 0;
}

std::size_t MemoryByteSource::read(char* out, std::size_t n) {
  const std::size_t take = std::min(n, bytes_.size() - pos_);
  std::memcpy(out, bytes_.data() + pos_, take);
  pos_ += take;
  return take;
}

}  // namespace tolvane
