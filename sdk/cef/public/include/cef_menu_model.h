#pragma once

#include "include/cef_base.h"

// The items of a context menu, in order.
class CefMenuModel : public virtual CefBaseRefCounted {
 public:
  virtual bool Clear() = 0;
  virtual int GetCount() = 0;
  virtual bool AddSeparator() = 0;
  virtual bool AddItem(int command_id, const CefString& label) = 0;
  virtual bool Remove(int command_id) = 0;
  virtual bool RemoveAt(int index) = 0;
  virtual int GetCommandIdAt(int index) = 0;
  virtual CefString GetLabelAt(int index) = 0;
  virtual bool IsEnabled(int command_id) = 0;
  virtual bool SetEnabled(int command_id, bool enabled) = 0;
};
