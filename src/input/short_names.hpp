// The 8-character names of the summary and trace matrix files for columns
// whose full names are longer, made unique in a fixed way.
#pragma once

#include <string>
#include <vector>

namespace tolvane {

// For each full name, in column order: separators of the batch file's name
// line (blank, comma, "=", ":", tab and other control characters) become
// "_", the name is cut to 8 bytes (not inside a UTF-8 character), and a name
// already taken by an earlier column ends instead in "~2", "~3", ... (the
// first number that makes it unique), cut further to stay within 8 bytes.
std::vector<std::string> shortNames(const std::vector<std::string>& fullNames);

}  // namespace tolvane
