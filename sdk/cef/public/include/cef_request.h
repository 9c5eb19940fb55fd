// A navigation request as the request handler sees it.
#pragma once

#include "include/cef_base.h"

class CefRequest : public virtual CefBaseRefCounted {
 public:
  typedef cef_transition_type_t TransitionType;

  static CefRefPtr<CefRequest> Create();

  virtual bool IsReadOnly() = 0;
  virtual CefString GetURL() = 0;
  virtual void SetURL(const CefString& url) = 0;
  virtual CefString GetMethod() = 0;
  virtual void SetMethod(const CefString& method) = 0;
  virtual CefString GetReferrerURL() = 0;
  virtual TransitionType GetTransitionType() = 0;
  virtual uint64_t GetIdentifier() = 0;
};
