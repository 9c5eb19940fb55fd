#pragma once

#include <vector>

#include "include/cef_base.h"

// What is dragged onto a browser.
class CefDragData : public virtual CefBaseRefCounted {
 public:
  static CefRefPtr<CefDragData> Create();
  virtual bool IsReadOnly() = 0;
  virtual bool IsLink() = 0;
  virtual bool IsFragment() = 0;
  virtual bool IsFile() = 0;
  virtual CefString GetLinkURL() = 0;
  virtual CefString GetFileName() = 0;
  virtual bool GetFileNames(std::vector<CefString>& names) = 0;
  virtual void AddFile(const CefString& path, const CefString& display_name) = 0;
};
