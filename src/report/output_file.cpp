#include "report/output_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace tolvane {

namespace {

// The stream's write: every byte goes to the descriptor or the failure is
// recorded. Returning 0 marks the stream as failed (ferror).
ssize_t cookieWrite(void* cookie, const char* data, std::size_t size) {
  auto* file = static_cast<OutputFile*>(cookie);
  return file->writeAll(data, size) ? static_cast<ssize_t>(size) : 0;
}

int cookieClose(void*) {
  return 0;  // the descriptor is closed by OutputFile, which checks it
}

std::string reasonOf(int error) {
  return std::strerror(error != 0 ? error : EIO);
}

std::atomic<unsigned> temporaryCount{0};

}  // namespace

bool OutputFile::writeAll(const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd_, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      fail(n < 0 ? errno : ENOSPC);
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

OutputFile::~OutputFile() {
  discard();
}

void OutputFile::fail(int error) {
  failAs("cannot write", error);
}

void OutputFile::failAs(const char* what, int error) {
  if (!error_.empty()) return;
  reason_ = reasonOf(error);
  error_ = std::string(what) + " " + path_ + ": " + reason_;
}

bool OutputFile::attach(int fd) {
  fd_ = fd;
  static const cookie_io_functions_t kFunctions{nullptr, cookieWrite, nullptr, cookieClose};
  stream_ = fopencookie(this, "w", kFunctions);
  if (stream_ == nullptr) {
    fail(errno);
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  return true;
}

bool OutputFile::open(const std::string& path, Start start) {
  discard();
  error_.clear();
  reason_.clear();
  committed_ = false;
  inPlace_ = false;
  path_ = path;
  // Replacing a file the user made read-only would defeat the protection.
  if (::access(path.c_str(), F_OK) == 0 && ::access(path.c_str(), W_OK) != 0) {
    failAs("cannot open", errno);
    return false;
  }
  struct stat old {};
  const bool hadTarget = ::stat(path.c_str(), &old) == 0;
  if (hadTarget && S_ISDIR(old.st_mode)) {
    failAs("cannot open", EISDIR);
    return false;
  }
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary_ = temporaryPathFor(path);
    fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    failAs("cannot open", errno);
    temporary_.clear();
    return false;
  }
  if (hadTarget) ::fchmod(fd, old.st_mode & 07777);  // the new file keeps the old one's mode
  if (!attach(fd)) {
    ::unlink(temporary_.c_str());
    temporary_.clear();
    return false;
  }
  keptLength_ = -1;
  if (start == Start::kCopyOfTarget && hadTarget) {
    keptLength_ = static_cast<long long>(old.st_size);
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (in == nullptr) {
      failAs("cannot read", errno);
    } else {
      char buffer[1 << 14];
      std::size_t n;
      while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0 && !failed())
        std::fwrite(buffer, 1, n, stream_);
      if (std::ferror(in)) failAs("cannot read", EIO);
      std::fclose(in);
    }
    if (failed()) {
      discard();
      return false;
    }
  }
  return true;
}

bool OutputFile::openOnDescriptor(int fd, const std::string& name) {
  discard();
  error_.clear();
  reason_.clear();
  committed_ = false;
  keptLength_ = -1;
  path_ = name;
  temporary_.clear();
  inPlace_ = true;
  return attach(fd);
}

bool OutputFile::write(std::string_view text) {
  if (stream_ == nullptr) return false;
  std::fwrite(text.data(), 1, text.size(), stream_);
  return !failed();
}

bool OutputFile::flush() {
  if (stream_ == nullptr) return !failed();
  if (std::fflush(stream_) != 0 && !failed()) fail(errno);
  if (std::ferror(stream_) && !failed()) fail(EIO);
  return !failed();
}

bool OutputFile::commit() {
  if (stream_ == nullptr) return false;
  if (committed_) return flush();
  if (flush() && !inPlace_) {
    if (::fsync(fd_) != 0 && errno != EINVAL) fail(errno);
    if (!failed() && std::rename(temporary_.c_str(), path_.c_str()) != 0) fail(errno);
  }
  if (failed()) {
    discard();
    return false;
  }
  temporary_.clear();
  committed_ = true;
  return true;
}

bool OutputFile::close() {
  if (stream_ == nullptr) return !failed();
  if (!committed_ && !commit()) return false;
  flush();
  closeStream();
  return !failed();
}

void OutputFile::closeStream() {
  if (stream_ != nullptr) {
    std::fclose(stream_);
    stream_ = nullptr;
  }
  if (fd_ >= 0) {
    if (::close(fd_) != 0 && errno != EINTR) fail(errno);
    fd_ = -1;
  }
}

void OutputFile::discard() {
  closeStream();
  if (!temporary_.empty()) {
    ::unlink(temporary_.c_str());
    temporary_.clear();
  }
}

void OutputFile::revert() {
  const bool wasCommitted = committed_ && !inPlace_;
  discard();
  if (!wasCommitted) return;
  if (keptLength_ >= 0) {
    ::truncate(path_.c_str(), static_cast<off_t>(keptLength_));
  } else {
    ::unlink(path_.c_str());
  }
  committed_ = false;
}

std::string temporaryPathFor(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  // Hidden, and unique within this process and among processes.
  return dir + "." + name + "." + std::to_string(::getpid()) + "-" +
         std::to_string(temporaryCount.fetch_add(1)) + ".tmp";
}

Status replaceFile(const std::string& temporary, const std::string& path) {
  if (std::rename(temporary.c_str(), path.c_str()) == 0) return {};
  Status failed = Status::at(path, 0, 0, "cannot write " + path + ": " + reasonOf(errno));
  ::unlink(temporary.c_str());
  return failed;
}

Status writeFileAtomically(const std::string& path, std::string_view text) {
  return writeFileAtomically(path, [text](OutputFile& out) { return out.write(text); });
}

Status writeFileAtomically(const std::string& path, const std::function<bool(OutputFile&)>& write) {
  const auto failed = [&](const std::string& reason) {
    return Status::at(path, 0, 0, "cannot write " + path + ": " + reason);
  };
  if (path.empty()) return Status::stopped("no output file name given");
  struct stat target {};
  if (::stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode))
    return failed("it is a folder");
  OutputFile out;
  if (out.open(path) && write(out) && out.close()) return {};
  return failed(out.reason());
}

}  // namespace tolvane
