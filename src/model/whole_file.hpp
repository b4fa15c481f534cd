// Writing a whole output file at once: the text goes to a temporary file
// beside the target, which replaces the target only when every byte is
// written, so a failure never leaves an emptied or half-written file.
#pragma once

#include <string>

namespace tolvane {

bool writeWholeFile(const std::string& path, const std::string& text, std::string* why);

// A CSV cell: quoted when it holds a comma, a quote or a line end, with
// quotes doubled.
std::string csvQuoted(const std::string& text);

}  // namespace tolvane
