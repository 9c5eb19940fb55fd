// Window messages of the voice channel: the engine events that CAGEngineEventHandler posts to
// the voice window (WM_USER + 0x200 + event number, wParam = the event's heap record), their
// records, and WM_VOICE_CLOSE_MIC that the voice window sends to the main window.
#pragma once

#include <windows.h>

#include <stdint.h>

constexpr UINT EID_BASE = WM_USER + 0x200;
constexpr UINT EID_JOINCHANNEL_SUCCESS = EID_BASE + 0x01;         // 0x601, JoinEventRecord
constexpr UINT EID_REJOINCHANNEL_SUCCESS = EID_BASE + 0x02;       // 0x602, JoinEventRecord
constexpr UINT EID_ERROR = EID_BASE + 0x03;                       // 0x603, ErrorEventRecord
constexpr UINT EID_FIRST_LOCAL_VIDEO_FRAME = EID_BASE + 0x0E;     // 0x60E, LocalFrameRecord
constexpr UINT EID_FIRST_REMOTE_VIDEO_DECODED = EID_BASE + 0x0F;  // 0x60F, RemoteFrameRecord
constexpr UINT EID_USER_OFFLINE = EID_BASE + 0x12;                // 0x612, UserOfflineRecord
constexpr UINT EID_STREAM_PUBLISHED = EID_BASE + 0x21;            // 0x621, heap URL text
constexpr UINT EID_STREAM_UNPUBLISHED = EID_BASE + 0x22;          // 0x622, heap URL text
constexpr UINT EID_LIVE_TRANSCODING = EID_BASE + 0x23;            // 0x623, wParam 0

// Voice window -> its owner (the main window), sent: tell the page to close its microphone.
constexpr UINT WM_VOICE_CLOSE_MIC = WM_USER + 0x209;  // 0x609, wParam 0, lParam 0

// Texts in the records are heap copies (new[]) owned by the record.
struct ErrorEventRecord {
  int32_t err;
  char* message;  // none when the engine gave none
};

struct JoinEventRecord {
  char* channel;
  uint32_t uid;
  int32_t elapsed;
};

struct UserOfflineRecord {
  uint32_t uid;
  uint32_t reason;
};

struct LocalFrameRecord {
  int32_t width;
  int32_t height;
  int32_t elapsed;
};

struct RemoteFrameRecord {
  uint32_t uid;
  int32_t width;
  int32_t height;
  int32_t elapsed;
};
