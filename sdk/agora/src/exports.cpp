// The library's one export: the factory, at ordinal 2 without a name (agora_rtc_sdk.def).
#include <new>

#include "IAgoraRtcEngine.h"
#include "rtc_engine.h"

AGORA_API agora::rtc::IRtcEngine* AGORA_CALL createAgoraRtcEngine() {
  return new (std::nothrow) agora_standin::RtcEngine();
}
