// The SHA-256 of a file, so that a model file names exactly the data it was
// fitted to. Nettle (Debian's nettle-dev) computes it: a small, well-kept
// hashing library, where hand-written cryptography would need its own
// proof.
#pragma once

#include <string>

#include "report/status.hpp"

namespace tolvane {

// Lower-case hex digest of the file's bytes; fails when it cannot be read.
StatusOr<std::string> sha256OfFile(const std::string& path);

// Lower-case hex digest of bytes in memory.
std::string sha256OfText(const std::string& bytes);

}  // namespace tolvane
