#include "updater/version_order.h"

#include <cwctype>
#include <limits>

namespace zarvik {

namespace {

int64_t ReadPart(const std::wstring& piece) {
  size_t i = 0;
  while (i < piece.size() && std::iswspace(piece[i]))
    ++i;
  bool negative = false;
  if (i < piece.size() && (piece[i] == L'+' || piece[i] == L'-')) {
    negative = piece[i] == L'-';
    ++i;
  }
  const uint64_t limit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  uint64_t value = 0;
  for (; i < piece.size() && piece[i] >= L'0' && piece[i] <= L'9'; ++i) {
    unsigned digit = static_cast<unsigned>(piece[i] - L'0');
    value = value > (limit - digit) / 10 ? limit : value * 10 + digit;
  }
  return negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
}

}  // namespace

std::vector<int64_t> VersionParts(const std::wstring& version) {
  std::vector<int64_t> parts;
  size_t start = 0;
  while (start <= version.size()) {
    size_t dot = version.find(L'.', start);
    if (dot == std::wstring::npos)
      dot = version.size();
    if (dot > start)
      parts.push_back(ReadPart(version.substr(start, dot - start)));
    start = dot + 1;
  }
  return parts;
}

int CompareVersions(const std::wstring& a, const std::wstring& b) {
  const std::vector<int64_t> left = VersionParts(a);
  const std::vector<int64_t> right = VersionParts(b);
  const size_t n = left.size() > right.size() ? left.size() : right.size();
  for (size_t k = 0; k < n; ++k) {
    int64_t x = k < left.size() ? left[k] : 0;
    int64_t y = k < right.size() ? right[k] : 0;
    if (x != y)
      return x < y ? -1 : 1;
  }
  return 0;
}

}  // namespace zarvik
