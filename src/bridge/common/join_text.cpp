#include "bridge/common/join_text.h"

#include <cwchar>
#include <cstdlib>
#include <vector>

#include "common/encoding.h"

std::wstring FormatJoinText(int cid, int uid, const std::wstring& channelKey) {
  return std::to_wstring(cid) + L"@" + std::to_wstring(uid) + L"@" + channelKey;
}

JoinTextFields ParseJoinText(const wchar_t* text, size_t maxUnits) {
  JoinTextFields fields;
  if (!text)
    return fields;
  size_t length = 0;
  while (length < maxUnits && text[length] != L'\0')
    ++length;

  std::vector<std::wstring> pieces;
  size_t start = 0;
  while (start < length && pieces.size() < 3) {
    size_t end = start;
    while (end < length && text[end] != L'@')
      ++end;
    if (end > start)
      pieces.emplace_back(text + start, end - start);
    start = end + 1;
  }
  if (pieces.size() > 0)
    fields.cid = _wtoi(pieces[0].c_str());
  if (pieces.size() > 1)
    fields.uid = _wtoi(pieces[1].c_str());
  if (pieces.size() > 2)
    fields.channelKeyUtf8 = zarvik::WideToUtf8(pieces[2]);
  return fields;
}
