#include "ui/topmost.h"

#include <vector>

namespace {

struct OwnedSearch {
  HWND owner;
  std::vector<HWND> owned;
};

BOOL CALLBACK CollectOwned(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<OwnedSearch*>(lParam);
  if (::GetWindow(window, GW_OWNER) == search->owner)
    search->owned.push_back(window);
  return TRUE;
}

}  // namespace

bool IsWindowTopmost(HWND window) {
  return (::GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

bool SetWindowPosTopmost(HWND window, bool topmost, int x, int y, int cx, int cy, UINT flags) {
  HWND insertAfter = topmost ? HWND_TOPMOST : HWND_NOTOPMOST;
  ::SetWindowPos(window, insertAfter, x, y, cx, cy, flags);
  if (IsWindowTopmost(window) == topmost)
    return true;

  OwnedSearch search = {window, {}};
  ::EnumWindows(CollectOwned, reinterpret_cast<LPARAM>(&search));
  if (search.owned.empty())
    return false;
  for (HWND owned : search.owned)
    ::SetWindowLongPtrW(owned, GWLP_HWNDPARENT, 0);
  ::SetWindowPos(window, insertAfter, x, y, cx, cy, flags);
  for (HWND owned : search.owned) {
    ::SetWindowLongPtrW(owned, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(window));
    // Back right behind the owner, in the owner's band (topmost or not).
    ::SetWindowPos(owned, insertAfter, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::SetWindowPos(owned, window, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  return IsWindowTopmost(window) == topmost;
}
