// The join text "cid@uid@key" the main window reads from WM_COPYDATA: ParseJoinText over a
// buffer of exactly the given units with no terminator (an over-read is an ASan error), and the
// numbers surviving FormatJoinText and ParseJoinText.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include <memory>
#include <string>

#include "bridge/common/join_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Two bytes per UTF-16 code unit, as WM_COPYDATA carries them.
  size_t units = size / 2;
  std::unique_ptr<wchar_t[]> text(new wchar_t[units ? units : 1]);
  for (size_t i = 0; i < units; ++i)
    text[i] = static_cast<wchar_t>(data[2 * i] | (data[2 * i + 1] << 8));
  JoinTextFields fields = ParseJoinText(units ? text.get() : nullptr, units);
  std::wstring again = FormatJoinText(fields.cid, fields.uid, L"key");
  JoinTextFields back = ParseJoinText(again.c_str(), again.size());
  if (back.cid != fields.cid || back.uid != fields.uid || back.channelKeyUtf8 != "key")
    abort();
  return 0;
}
