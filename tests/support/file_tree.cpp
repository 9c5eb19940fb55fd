#include "support/file_tree.h"

#include <windows.h>

#include "common/encoding.h"
#include "common/scoped_handle.h"
#include "support/temp_dir.h"

namespace zarvik_test {
namespace {

void ListTree(const std::wstring& root, const std::wstring& relative, FileTree* tree) {
  WIN32_FIND_DATAW data;
  zarvik::ScopedFindHandle find(FindFirstFileW((root + relative + L"*").c_str(), &data));
  if (!find)
    return;
  do {
    std::wstring name = data.cFileName;
    if (name == L"." || name == L"..")
      continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      (*tree)[relative + name + L"\\"] = "";
      ListTree(root, relative + name + L"\\", tree);
    } else {
      (*tree)[relative + name] = ReadFileBytes(root + relative + name);
    }
  } while (FindNextFileW(find.Get(), &data));
}

}  // namespace

FileTree TreeOf(const std::wstring& root) {
  FileTree tree;
  ListTree(root, L"", &tree);
  return tree;
}

std::string ShowTree(const FileTree& tree) {
  std::string text;
  for (const auto& [name, data] : tree)
    text += zarvik::WideToUtf8(name) + "=" + data.substr(0, 24) + "\n";
  return text;
}

bool PathExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace zarvik_test
