// Script values and contexts of the renderer process. Use them on the render thread only.
#pragma once

#include <vector>

#include "include/cef_base.h"
#include "include/cef_browser.h"
#include "include/cef_frame.h"

class CefV8Value;
class CefV8Handler;

typedef std::vector<CefRefPtr<CefV8Value>> CefV8ValueList;
typedef cef_v8_propertyattribute_t PropertyAttribute;

// The script context of one document of a frame.
class CefV8Context : public virtual CefBaseRefCounted {
 public:
  // The context whose script is running, or the one entered last; none outside any context.
  static CefRefPtr<CefV8Context> GetCurrentContext();
  static CefRefPtr<CefV8Context> GetEnteredContext();
  static bool InContext();

  // False once the document of the context is gone.
  virtual bool IsValid() = 0;
  virtual CefRefPtr<CefBrowser> GetBrowser() = 0;
  virtual CefRefPtr<CefFrame> GetFrame() = 0;
  virtual CefRefPtr<CefV8Value> GetGlobal() = 0;
  virtual bool Enter() = 0;
  virtual bool Exit() = 0;
  virtual bool IsSame(CefRefPtr<CefV8Context> that) = 0;
  virtual bool Eval(const CefString& code,
                    const CefString& script_url,
                    int start_line,
                    CefRefPtr<CefV8Value>& retval,
                    CefString& exception) = 0;
};

// Native code behind a function value made with CefV8Value::CreateFunction.
class CefV8Handler : public virtual CefBaseRefCounted {
 public:
  // True when handled: then |retval| (if set) is the result, and a non-empty |exception| is
  // thrown into the script instead.
  virtual bool Execute(const CefString& name,
                       CefRefPtr<CefV8Value> object,
                       const CefV8ValueList& arguments,
                       CefRefPtr<CefV8Value>& retval,
                       CefString& exception) = 0;
};

class CefV8Value : public virtual CefBaseRefCounted {
 public:
  static CefRefPtr<CefV8Value> CreateUndefined();
  static CefRefPtr<CefV8Value> CreateNull();
  static CefRefPtr<CefV8Value> CreateBool(bool value);
  static CefRefPtr<CefV8Value> CreateInt(int32 value);
  static CefRefPtr<CefV8Value> CreateUInt(uint32 value);
  static CefRefPtr<CefV8Value> CreateDouble(double value);
  static CefRefPtr<CefV8Value> CreateString(const CefString& value);
  // The three below need a current context (none otherwise).
  static CefRefPtr<CefV8Value> CreateObject(void* accessor = nullptr, void* interceptor = nullptr);
  static CefRefPtr<CefV8Value> CreateArray(int length);
  static CefRefPtr<CefV8Value> CreateFunction(const CefString& name,
                                              CefRefPtr<CefV8Handler> handler);

  // Numbers come in three kinds: 32-bit signed, 32-bit unsigned (above the signed range) and
  // double; a script's number takes the first that holds it exactly (-0 is a double). IsInt
  // and IsUInt both hold for either integer kind, IsDouble for every number; GetIntValue and
  // GetUIntValue read an integer kind's 32 bits and give 0 for a double.
  virtual bool IsValid() = 0;
  virtual bool IsUndefined() = 0;
  virtual bool IsNull() = 0;
  virtual bool IsBool() = 0;
  virtual bool IsInt() = 0;
  virtual bool IsUInt() = 0;
  virtual bool IsDouble() = 0;
  virtual bool IsString() = 0;
  virtual bool IsObject() = 0;
  virtual bool IsArray() = 0;
  virtual bool IsFunction() = 0;
  virtual bool IsSame(CefRefPtr<CefV8Value> that) = 0;

  virtual bool GetBoolValue() = 0;
  virtual int32 GetIntValue() = 0;
  virtual uint32 GetUIntValue() = 0;
  virtual double GetDoubleValue() = 0;
  // The empty string for anything but a string.
  virtual CefString GetStringValue() = 0;

  // Objects.
  virtual bool HasValue(const CefString& key) = 0;
  virtual bool DeleteValue(const CefString& key) = 0;
  virtual CefRefPtr<CefV8Value> GetValue(const CefString& key) = 0;
  virtual CefRefPtr<CefV8Value> GetValue(int index) = 0;
  virtual bool SetValue(const CefString& key,
                        CefRefPtr<CefV8Value> value,
                        PropertyAttribute attribute) = 0;
  virtual bool SetValue(int index, CefRefPtr<CefV8Value> value) = 0;
  virtual bool GetKeys(std::vector<CefString>& keys) = 0;
  virtual int GetArrayLength() = 0;

  // Functions.
  virtual CefString GetFunctionName() = 0;
  virtual CefRefPtr<CefV8Handler> GetFunctionHandler() = 0;
  // Calls the function in the current context; none when it throws.
  virtual CefRefPtr<CefV8Value> ExecuteFunction(CefRefPtr<CefV8Value> object,
                                                const CefV8ValueList& arguments) = 0;
  // Calls the function inside |context|; none when the context is gone or the call throws.
  virtual CefRefPtr<CefV8Value> ExecuteFunctionWithContext(CefRefPtr<CefV8Context> context,
                                                           CefRefPtr<CefV8Value> object,
                                                           const CefV8ValueList& arguments) = 0;
};
