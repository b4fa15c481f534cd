// A limit on the size of every file the process writes, for one scope. A
// write past it fails with EFBIG ("File too large") as a write to a full
// disk fails, without filling one; SIGXFSZ is ignored meanwhile so that the
// failure comes back as an error instead of ending the test.
#pragma once

#include <sys/resource.h>

#include <csignal>

namespace tolvane::test {

class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old_;
    small.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &small);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, SIG_DFL);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit old_{};
};

}  // namespace tolvane::test
