#include "model/whole_file.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace tolvane {

bool writeWholeFile(const std::string& path, const std::string& text, std::string* why) {
  std::error_code ec;
  if (path.empty()) {
    *why = "no output file name given";
    return false;
  }
  if (std::filesystem::is_directory(path, ec)) {
    *why = "cannot write " + path + ": it is a folder";
    return false;
  }
  const std::string temporary = path + ".part";
  std::FILE* f = std::fopen(temporary.c_str(), "wb");
  if (f == nullptr) {
    *why = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  const int error = errno;
  if (std::fclose(f) != 0 || !written) {
    *why = "cannot write " + path + ": " + std::strerror(written ? errno : error);
    std::remove(temporary.c_str());
    return false;
  }
  std::filesystem::rename(temporary, path, ec);
  if (ec) {
    *why = "cannot write " + path + ": " + ec.message();
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

std::string csvQuoted(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace tolvane
