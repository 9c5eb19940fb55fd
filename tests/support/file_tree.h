// A folder's whole contents as one comparable value, so a test can say "the installation is
// exactly this afterwards" and see every extra, missing or changed file in the failure message.
#pragma once

#include <map>
#include <string>

namespace zarvik_test {

// Relative name -> content; folders end in a backslash and have no content.
using FileTree = std::map<std::wstring, std::string>;

// Every file and folder below `root` (with a trailing backslash).
FileTree TreeOf(const std::wstring& root);
// One "name=first bytes" line per entry, for failure messages.
std::string ShowTree(const FileTree& tree);

bool PathExists(const std::wstring& path);

}  // namespace zarvik_test
