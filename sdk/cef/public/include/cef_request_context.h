// The request context browsers load with; this engine has the global one only.
#pragma once

#include "include/cef_base.h"

class CefRequestContext : public virtual CefBaseRefCounted {
 public:
  static CefRefPtr<CefRequestContext> GetGlobalContext();
  virtual bool IsGlobal() = 0;
  virtual CefString GetCachePath() = 0;
};
