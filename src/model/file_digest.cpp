#include "model/file_digest.hpp"

#include <nettle/sha2.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tolvane {

namespace {

std::string hexOf(sha256_ctx& ctx) {
  unsigned char digest[SHA256_DIGEST_SIZE];
  sha256_digest(&ctx, sizeof digest, digest);
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char byte : digest) {
    hex += kHex[byte >> 4];
    hex += kHex[byte & 15];
  }
  return hex;
}

}  // namespace

StatusOr<std::string> sha256OfFile(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr)
    return Status::at(path, 0, 0, "cannot read " + path + ": " + std::strerror(errno));
  sha256_ctx ctx;
  sha256_init(&ctx);
  unsigned char buffer[1 << 16];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0)
    sha256_update(&ctx, got, buffer);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) return Status::at(path, 0, 0, "cannot read " + path);
  return hexOf(ctx);
}

std::string sha256OfText(const std::string& bytes) {
  sha256_ctx ctx;
  sha256_init(&ctx);
  sha256_update(&ctx, bytes.size(), reinterpret_cast<const unsigned char*>(bytes.data()));
  return hexOf(ctx);
}

}  // namespace tolvane
