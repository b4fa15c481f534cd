// The SHA-256 of a file, so that a model file names exactly the data it was
// fitted to. Nettle (Debian's nettle-dev) computes it: a small, well-kept
// hashing library, where hand-written cryptography would need its own
// proof.
#pragma once

#include <string>

namespace tolvane {

// Lower-case hex digest of the file's bytes; false with *why when it cannot
// be read.
bool sha256OfFile(const std::string& path, std::string* hex, std::string* why);

// Lower-case hex digest of bytes in memory.
std::string sha256OfText(const std::string& bytes);

}  // namespace tolvane
