// Voice and video SDK: basic types shared by its interfaces.
#pragma once

#include <stddef.h>

#if defined(_WIN32)
#define AGORA_CALL __cdecl
#if defined(AGORARTC_EXPORT)
// The library exports by ordinal through its module-definition file, never by name.
#define AGORA_API extern "C"
#else
#define AGORA_API extern "C" __declspec(dllimport)
#endif
#else
#define AGORA_CALL
#define AGORA_API extern "C"
#endif

namespace agora {
namespace util {

// A string owned by the library; the caller releases it.
class IString {
 public:
  virtual bool empty() const = 0;
  virtual const char* c_str() = 0;
  virtual const char* data() = 0;
  virtual size_t length() = 0;
  virtual IString* clone() = 0;
  virtual void release() = 0;
  virtual ~IString() {}
};

// Holds one reference to a library interface and releases it at the end.
template <class T>
class AutoPtr {
 public:
  typedef T value_type;
  typedef T* pointer_type;

  explicit AutoPtr(pointer_type p = nullptr) : ptr_(p) {}
  ~AutoPtr() {
    if (ptr_)
      ptr_->release();
  }
  AutoPtr(const AutoPtr&) = delete;
  AutoPtr& operator=(const AutoPtr&) = delete;

  operator bool() const { return ptr_ != nullptr; }
  value_type& operator*() const { return *ptr_; }
  pointer_type operator->() const { return ptr_; }
  pointer_type get() const { return ptr_; }
  pointer_type release() {
    pointer_type p = ptr_;
    ptr_ = nullptr;
    return p;
  }
  void reset(pointer_type p = nullptr) {
    if (p != ptr_ && ptr_)
      ptr_->release();
    ptr_ = p;
  }
  template <class C1, class C2>
  bool queryInterface(C1* c, C2 iid) {
    pointer_type p = nullptr;
    if (c && !c->queryInterface(iid, reinterpret_cast<void**>(&p)))
      reset(p);
    return p != nullptr;
  }

 private:
  pointer_type ptr_;
};

typedef AutoPtr<IString> AString;

}  // namespace util

// What IRtcEngine::queryInterface can hand out.
enum INTERFACE_ID_TYPE {
  AGORA_IID_AUDIO_DEVICE_MANAGER = 1,
  AGORA_IID_VIDEO_DEVICE_MANAGER = 2,
  AGORA_IID_RTC_ENGINE_PARAMETER = 3,
  AGORA_IID_MEDIA_ENGINE = 4,
  AGORA_IID_SIGNALING_ENGINE = 8,
};

// Error codes: methods return them negated, onError reports them as they are.
enum ERROR_CODE_TYPE {
  ERR_OK = 0,
  ERR_FAILED = 1,
  ERR_INVALID_ARGUMENT = 2,
  ERR_NOT_READY = 3,
  ERR_NOT_SUPPORTED = 4,
  ERR_REFUSED = 5,
  ERR_BUFFER_TOO_SMALL = 6,
  ERR_NOT_INITIALIZED = 7,
  ERR_NO_PERMISSION = 9,
  ERR_TIMEDOUT = 10,
  ERR_CANCELED = 11,
  ERR_TOO_OFTEN = 12,
  ERR_BIND_SOCKET = 13,
  ERR_NET_DOWN = 14,
  ERR_NET_NOBUFS = 15,
  ERR_JOIN_CHANNEL_REJECTED = 17,
  ERR_LEAVE_CHANNEL_REJECTED = 18,
  ERR_ALREADY_IN_USE = 19,
  ERR_INVALID_APP_ID = 101,
  ERR_INVALID_CHANNEL_NAME = 102,
  ERR_TOKEN_EXPIRED = 109,
  ERR_INVALID_TOKEN = 110,
  ERR_CONNECTION_INTERRUPTED = 111,
  ERR_CONNECTION_LOST = 112,
  ERR_NOT_IN_CHANNEL = 113,
  ERR_ADM_NO_RECORDING_DEVICE = 1359,
};

enum WARN_CODE_TYPE {
  WARN_PENDING = 20,
  WARN_NO_AVAILABLE_CHANNEL = 103,
  WARN_LOOKUP_CHANNEL_TIMEOUT = 104,
};

enum class LOG_LEVEL {
  LOG_LEVEL_NONE = 0x0000,
  LOG_LEVEL_INFO = 0x0001,
  LOG_LEVEL_WARN = 0x0002,
  LOG_LEVEL_ERROR = 0x0004,
  LOG_LEVEL_FATAL = 0x0008,
};

}  // namespace agora
