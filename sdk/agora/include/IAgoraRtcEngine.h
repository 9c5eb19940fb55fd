// Voice and video SDK: the engine, its event handler, the audio device manager and the parameter
// interface, with the header-side parameter wrapper.
#pragma once

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "AgoraBase.h"

namespace agora {
namespace rtc {

typedef unsigned int uid_t;
typedef void* view_t;

enum { MAX_DEVICE_ID_LENGTH = 512, MAX_CHANNEL_ID_LENGTH = 65 };

enum CHANNEL_PROFILE_TYPE {
  CHANNEL_PROFILE_COMMUNICATION = 0,
  CHANNEL_PROFILE_LIVE_BROADCASTING = 1,
  CHANNEL_PROFILE_GAME = 2,
};

enum CLIENT_ROLE_TYPE {
  CLIENT_ROLE_BROADCASTER = 1,
  CLIENT_ROLE_AUDIENCE = 2,
};

enum AUDIO_PROFILE_TYPE {
  AUDIO_PROFILE_DEFAULT = 0,
  AUDIO_PROFILE_SPEECH_STANDARD = 1,
  AUDIO_PROFILE_MUSIC_STANDARD = 2,
  AUDIO_PROFILE_MUSIC_STANDARD_STEREO = 3,
  AUDIO_PROFILE_MUSIC_HIGH_QUALITY = 4,
  AUDIO_PROFILE_MUSIC_HIGH_QUALITY_STEREO = 5,
  AUDIO_PROFILE_NUM = 6,
};

enum AUDIO_SCENARIO_TYPE {
  AUDIO_SCENARIO_DEFAULT = 0,
  AUDIO_SCENARIO_CHATROOM_ENTERTAINMENT = 1,
  AUDIO_SCENARIO_EDUCATION = 2,
  AUDIO_SCENARIO_GAME_STREAMING = 3,
  AUDIO_SCENARIO_SHOWROOM = 4,
  AUDIO_SCENARIO_CHATROOM_GAMING = 5,
  AUDIO_SCENARIO_NUM = 6,
};

enum RENDER_MODE_TYPE {
  RENDER_MODE_HIDDEN = 1,
  RENDER_MODE_FIT = 2,
  RENDER_MODE_ADAPTIVE = 3,
};

enum VIDEO_MIRROR_MODE_TYPE {
  VIDEO_MIRROR_MODE_AUTO = 0,
  VIDEO_MIRROR_MODE_ENABLED = 1,
  VIDEO_MIRROR_MODE_DISABLED = 2,
};

enum USER_OFFLINE_REASON_TYPE {
  USER_OFFLINE_QUIT = 0,
  USER_OFFLINE_DROPPED = 1,
  USER_OFFLINE_BECOME_AUDIENCE = 2,
};

enum AREA_CODE {
  AREA_CODE_CN = 0x00000001,
  AREA_CODE_NA = 0x00000002,
  AREA_CODE_EU = 0x00000004,
  AREA_CODE_AS = 0x00000008,
  AREA_CODE_JP = 0x00000010,
  AREA_CODE_IN = 0x00000020,
  AREA_CODE_GLOB = 0xFFFFFFFF,
};

enum QUALITY_TYPE {
  QUALITY_UNKNOWN = 0,
  QUALITY_EXCELLENT = 1,
  QUALITY_GOOD = 2,
  QUALITY_POOR = 3,
  QUALITY_BAD = 4,
  QUALITY_VBAD = 5,
  QUALITY_DOWN = 6,
};

struct RtcStats {
  unsigned int duration;
  unsigned int txBytes;
  unsigned int rxBytes;
  unsigned int txVideoBytes;
  unsigned int rxVideoBytes;
  unsigned int userCount;
  RtcStats()
      : duration(0), txBytes(0), rxBytes(0), txVideoBytes(0), rxVideoBytes(0), userCount(0) {}
};

// Where and how a user's video is drawn.
struct VideoCanvas {
  view_t view;
  int renderMode;
  char channelId[MAX_CHANNEL_ID_LENGTH];
  uid_t uid;
  void* priv;
  VIDEO_MIRROR_MODE_TYPE mirrorMode;

  VideoCanvas()
      : view(nullptr),
        renderMode(RENDER_MODE_HIDDEN),
        uid(0),
        priv(nullptr),
        mirrorMode(VIDEO_MIRROR_MODE_AUTO) {
    channelId[0] = '\0';
  }
  VideoCanvas(view_t v, int m, uid_t u)
      : view(v), renderMode(m), uid(u), priv(nullptr), mirrorMode(VIDEO_MIRROR_MODE_AUTO) {
    channelId[0] = '\0';
  }
  VideoCanvas(view_t v, int m, const char* ch, uid_t u)
      : view(v), renderMode(m), uid(u), priv(nullptr), mirrorMode(VIDEO_MIRROR_MODE_AUTO) {
    strncpy(channelId, ch ? ch : "", MAX_CHANNEL_ID_LENGTH);
    channelId[MAX_CHANNEL_ID_LENGTH - 1] = '\0';
  }
};

struct LiveTranscoding {
  int width;
  int height;
  int videoBitrate;
  int videoFramerate;
  unsigned int userCount;
  LiveTranscoding()
      : width(360), height(640), videoBitrate(400), videoFramerate(15), userCount(0) {}
};

// Events of the engine. They arrive on the engine's own threads; every callback has an empty
// default, so an application overrides only the ones it uses.
class IRtcEngineEventHandler {
 public:
  virtual ~IRtcEngineEventHandler() {}

  virtual void onWarning(int warn, const char* msg) {
    (void)warn;
    (void)msg;
  }
  virtual void onError(int err, const char* msg) {
    (void)err;
    (void)msg;
  }
  virtual void onJoinChannelSuccess(const char* channel, uid_t uid, int elapsed) {
    (void)channel;
    (void)uid;
    (void)elapsed;
  }
  virtual void onRejoinChannelSuccess(const char* channel, uid_t uid, int elapsed) {
    (void)channel;
    (void)uid;
    (void)elapsed;
  }
  virtual void onLeaveChannel(const RtcStats& stats) { (void)stats; }
  virtual void onClientRoleChanged(CLIENT_ROLE_TYPE oldRole, CLIENT_ROLE_TYPE newRole) {
    (void)oldRole;
    (void)newRole;
  }
  virtual void onUserJoined(uid_t uid, int elapsed) {
    (void)uid;
    (void)elapsed;
  }
  virtual void onUserOffline(uid_t uid, USER_OFFLINE_REASON_TYPE reason) {
    (void)uid;
    (void)reason;
  }
  virtual void onLastmileQuality(int quality) { (void)quality; }
  virtual void onConnectionInterrupted() {}
  virtual void onConnectionLost() {}
  virtual void onConnectionBanned() {}
  virtual void onApiCallExecuted(int err, const char* api, const char* result) {
    (void)err;
    (void)api;
    (void)result;
  }
  virtual void onRequestToken() {}
  virtual void onTokenPrivilegeWillExpire(const char* token) { (void)token; }
  virtual void onAudioQuality(uid_t uid, int quality, unsigned short delay, unsigned short lost) {
    (void)uid;
    (void)quality;
    (void)delay;
    (void)lost;
  }
  virtual void onRtcStats(const RtcStats& stats) { (void)stats; }
  virtual void onNetworkQuality(uid_t uid, int txQuality, int rxQuality) {
    (void)uid;
    (void)txQuality;
    (void)rxQuality;
  }
  virtual void onFirstLocalVideoFrame(int width, int height, int elapsed) {
    (void)width;
    (void)height;
    (void)elapsed;
  }
  virtual void onFirstRemoteVideoDecoded(uid_t uid, int width, int height, int elapsed) {
    (void)uid;
    (void)width;
    (void)height;
    (void)elapsed;
  }
  virtual void onFirstRemoteVideoFrame(uid_t uid, int width, int height, int elapsed) {
    (void)uid;
    (void)width;
    (void)height;
    (void)elapsed;
  }
  virtual void onUserMuteAudio(uid_t uid, bool muted) {
    (void)uid;
    (void)muted;
  }
  virtual void onUserMuteVideo(uid_t uid, bool muted) {
    (void)uid;
    (void)muted;
  }
  virtual void onUserEnableVideo(uid_t uid, bool enabled) {
    (void)uid;
    (void)enabled;
  }
  virtual void onCameraReady() {}
  virtual void onVideoStopped() {}
  virtual void onStreamPublished(const char* url, int error) {
    (void)url;
    (void)error;
  }
  virtual void onStreamUnpublished(const char* url) { (void)url; }
  virtual void onTranscodingUpdated() {}
};

// The devices of one kind (recording or playback) present when it was enumerated.
class IAudioDeviceCollection {
 public:
  virtual int getCount() = 0;
  virtual int getDevice(int index,
                        char deviceName[MAX_DEVICE_ID_LENGTH],
                        char deviceId[MAX_DEVICE_ID_LENGTH]) = 0;
  virtual int setDevice(const char deviceId[MAX_DEVICE_ID_LENGTH]) = 0;
  virtual int setApplicationVolume(int volume) = 0;
  virtual int getApplicationVolume(int& volume) = 0;
  virtual int setApplicationMute(bool mute) = 0;
  virtual int isApplicationMute(bool& mute) = 0;
  virtual void release() = 0;

 protected:
  virtual ~IAudioDeviceCollection() {}
};

class IAudioDeviceManager {
 public:
  virtual IAudioDeviceCollection* enumeratePlaybackDevices() = 0;
  virtual IAudioDeviceCollection* enumerateRecordingDevices() = 0;
  virtual int setPlaybackDevice(const char deviceId[MAX_DEVICE_ID_LENGTH]) = 0;
  virtual int setRecordingDevice(const char deviceId[MAX_DEVICE_ID_LENGTH]) = 0;
  virtual int setPlaybackDeviceVolume(int volume) = 0;
  virtual int getPlaybackDeviceVolume(int* volume) = 0;
  virtual int setRecordingDeviceVolume(int volume) = 0;
  virtual int getRecordingDeviceVolume(int* volume) = 0;
  virtual void release() = 0;

 protected:
  virtual ~IAudioDeviceManager() {}
};

// Engine parameters by key, and JSON parameter texts.
class IRtcEngineParameter {
 public:
  virtual void release() = 0;
  virtual int setBool(const char* key, bool value) = 0;
  virtual int setInt(const char* key, int value) = 0;
  virtual int setUInt(const char* key, unsigned int value) = 0;
  virtual int setNumber(const char* key, double value) = 0;
  virtual int setString(const char* key, const char* value) = 0;
  virtual int setObject(const char* key, const char* value) = 0;
  virtual int getBool(const char* key, bool& value) = 0;
  virtual int getInt(const char* key, int& value) = 0;
  virtual int getUInt(const char* key, unsigned int& value) = 0;
  virtual int getNumber(const char* key, double& value) = 0;
  virtual int getString(const char* key, agora::util::AString& value) = 0;
  virtual int getObject(const char* key, agora::util::AString& value) = 0;
  virtual int getArray(const char* key, agora::util::AString& value) = 0;
  virtual int setParameters(const char* parameters) = 0;
  virtual int setProfile(const char* profile, bool merge) = 0;
  virtual int convertPath(const char* filePath, agora::util::AString& value) = 0;

 protected:
  virtual ~IRtcEngineParameter() {}
};

// The engine's own log file (this engine takes it from the parameter "rtc.log_file" only; the
// record is here for the shape of RtcEngineContext).
struct LogConfig {
  const char* filePath;
  int fileSize;  // KB; -1: the default
  LOG_LEVEL level;
  LogConfig() : filePath(nullptr), fileSize(-1), level(LOG_LEVEL::LOG_LEVEL_INFO) {}
};

struct RtcEngineContext {
  IRtcEngineEventHandler* eventHandler;
  const char* appId;
  void* context;
  unsigned int areaCode;
  LogConfig logConfig;
  RtcEngineContext()
      : eventHandler(nullptr), appId(nullptr), context(nullptr), areaCode(AREA_CODE_GLOB) {}
};

class IRtcEngine {
 public:
  virtual int initialize(const RtcEngineContext& context) = 0;
  virtual void release(bool sync = false) = 0;
  virtual int setChannelProfile(CHANNEL_PROFILE_TYPE profile) = 0;
  virtual int setClientRole(CLIENT_ROLE_TYPE role) = 0;
  virtual int joinChannel(const char* token,
                          const char* channelId,
                          const char* info,
                          uid_t uid) = 0;
  virtual int leaveChannel() = 0;
  virtual int renewToken(const char* token) = 0;
  virtual int queryInterface(INTERFACE_ID_TYPE iid, void** inter) = 0;
  virtual int getCallId(agora::util::AString& callId) = 0;
  virtual int enableVideo() = 0;
  virtual int disableVideo() = 0;
  virtual int startPreview() = 0;
  virtual int stopPreview() = 0;
  virtual int enableAudio() = 0;
  virtual int disableAudio() = 0;
  virtual int setAudioProfile(AUDIO_PROFILE_TYPE profile, AUDIO_SCENARIO_TYPE scenario) = 0;
  virtual int setupLocalVideo(const VideoCanvas& canvas) = 0;
  virtual int setupRemoteVideo(const VideoCanvas& canvas) = 0;
  virtual int addPublishStreamUrl(const char* url, bool transcodingEnabled) = 0;
  virtual int removePublishStreamUrl(const char* url) = 0;
  virtual int setLiveTranscoding(const LiveTranscoding& transcoding) = 0;
  virtual const char* getVersion(int* build) = 0;
  virtual const char* getErrorDescription(int code) = 0;

 protected:
  virtual ~IRtcEngine() {}
};

// The parameter interface of an engine, held for the wrapper's lifetime.
class AParameter : public agora::util::AutoPtr<IRtcEngineParameter> {
 public:
  explicit AParameter(IRtcEngine& engine) { initialize(&engine); }
  explicit AParameter(IRtcEngine* engine) { initialize(engine); }
  explicit AParameter(IRtcEngineParameter* p) : agora::util::AutoPtr<IRtcEngineParameter>(p) {}

 private:
  bool initialize(IRtcEngine* engine) {
    IRtcEngineParameter* p = nullptr;
    if (engine && !engine->queryInterface(AGORA_IID_RTC_ENGINE_PARAMETER, (void**)&p))
      reset(p);
    return p != nullptr;
  }
};

// Convenience calls built on the parameter interface; each returns -ERR_NOT_INITIALIZED when
// the engine gives no parameter interface.
class RtcEngineParameters {
 public:
  explicit RtcEngineParameters(IRtcEngine& engine) : m_parameter(&engine) {}
  explicit RtcEngineParameters(IRtcEngine* engine) : m_parameter(engine) {}

  int muteLocalVideoStream(bool mute) {
    return setParameters("{\"rtc.video.mute_me\":%s,\"che.video.local.send\":%s}",
                         mute ? "true" : "false", mute ? "false" : "true");
  }
  int muteLocalAudioStream(bool mute) {
    return setParameters("{\"rtc.audio.mute_me\":%s,\"che.audio.mute_me\":%s}",
                         mute ? "true" : "false", mute ? "true" : "false");
  }
  int muteAllRemoteVideoStreams(bool mute) {
    return m_parameter ? m_parameter->setBool("rtc.video.mute_peers", mute) : -ERR_NOT_INITIALIZED;
  }
  int setLogFile(const char* filePath) {
    if (!m_parameter)
      return -ERR_NOT_INITIALIZED;
#if defined(_WIN32)
    agora::util::AString path;
    if (!m_parameter->convertPath(filePath, path))
      filePath = path->c_str();
    else
      return -ERR_INVALID_ARGUMENT;
#endif
    return m_parameter->setString("rtc.log_file", filePath);
  }
  int setLogFilter(unsigned int filter) {
    return m_parameter ? m_parameter->setUInt("rtc.log_filter", filter) : -ERR_NOT_INITIALIZED;
  }

 protected:
  AParameter& parameter() {
    return m_parameter;
  }
  int setParameters(const char* format, ...) {
    if (!m_parameter)
      return -ERR_NOT_INITIALIZED;
    char buf[512];
    va_list args;
    va_start(args, format);
    vsnprintf(buf, sizeof(buf) - 1, format, args);
    va_end(args);
    buf[sizeof(buf) - 1] = '\0';
    return m_parameter->setParameters(buf);
  }

 private:
  AParameter m_parameter;
};

}  // namespace rtc
}  // namespace agora

// The library's factory: a new engine, or none. Imported by ordinal.
AGORA_API agora::rtc::IRtcEngine* AGORA_CALL createAgoraRtcEngine();
