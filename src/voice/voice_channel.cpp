#include "voice/voice_channel.h"

#include <stdio.h>
#include <string.h>

#include <memory>
#include <string>

#include "common/encoding.h"
#include "diagnostics/log.h"
#include "diagnostics/thread_check.h"
#include "voice/ag_engine_event_handler.h"
#include "voice/voice_engine.h"
#include "voice/voice_messages.h"

namespace {

const char* const kSource = SourceFileName(__FILE__);

// The page's key as it may appear inside one log line: control characters would start new,
// forged lines, so they are shown as '?'.
std::string LoggableKey(const std::string& key) {
  std::string shown = key;
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
      c = '?';
  }
  return shown;
}

// Takes ownership of a record posted by the event handler, or none for anything else.
template <typename Record>
std::unique_ptr<Record> TakeRecord(WPARAM wParam) {
  void* record = reinterpret_cast<void*>(wParam);
  if (!GetEngineEventHandler().ClaimRecord(record)) {
    LogLine(ERROR, kSource, " ignored a voice event that the engine did not send.");
    return nullptr;
  }
  return std::unique_ptr<Record>(static_cast<Record*>(record));
}

}  // namespace

CVoiceChannel::~CVoiceChannel() {
  if (m_audioDeviceManager)
    m_audioDeviceManager->release();
}

int CVoiceChannel::JoinChannel(const JoinParams* params) {
  REQUIRE_OWN_THREAD(m_thread);
  LogLine(INFO, "call JoinChannel from web client side.");
  if (!params)
    return kJoinResultUnavailable;
  std::string key = params->key;
  m_requestedCid = params->cid;
  LogLine(INFO, "call jionchannel from web client.{cid:", params->cid, ",uid:", params->uid,
          ",channelKey:", LoggableKey(key), "}");
  if (params->cid < 1)
    return kJoinResultUnavailable;

  VoiceEngineHolder& holder = GetHolder();
  agora::rtc::IRtcEngine* engine = holder.engine;
  if (!engine) {
    LogLine(ERROR, kSource, " no voice engine, the join is not made.");
    return kJoinRefused;
  }
  if (!HasMicrophone(engine))
    return kJoinNoMicrophone;
  SetDirect2DRendering(engine);
  return JoinEngineChannel(engine, *params);
}

bool CVoiceChannel::HasMicrophone(agora::rtc::IRtcEngine* engine) {
  LogLine(INFO, "check mic hardware.");
  if (!m_audioDeviceManager) {
    void* manager = nullptr;
    if (engine->queryInterface(agora::AGORA_IID_AUDIO_DEVICE_MANAGER, &manager) != 0 || !manager)
      return false;
    m_audioDeviceManager = static_cast<agora::rtc::IAudioDeviceManager*>(manager);
  }
  agora::rtc::IAudioDeviceCollection* devices = m_audioDeviceManager->enumerateRecordingDevices();
  int count = devices ? devices->getCount() : 0;
  if (devices)
    devices->release();
  if (count > 0)
    return true;
  // Asked again at the next join: a microphone may have been plugged in by then.
  m_audioDeviceManager->release();
  m_audioDeviceManager = nullptr;
  LogLine(ERROR, zarvik::WideToAnsi(L"检测不到麦克风设备，请检查电脑上的麦克风是否完好。"));
  return false;
}

void CVoiceChannel::SetDirect2DRendering(agora::rtc::IRtcEngine* engine) {
  int renderType = -1;
  void* parameter = nullptr;
  if (engine->queryInterface(agora::AGORA_IID_RTC_ENGINE_PARAMETER, &parameter) == 0 && parameter) {
    auto* engineParameter = static_cast<agora::rtc::IRtcEngineParameter*>(parameter);
    renderType = engineParameter->setInt("che.video.render.type", 8);  // Direct2D
    engineParameter->release();
  }
  LogLine(
      INFO, kSource,
      renderType == 0 ? ",set d2d video rendertype success." : ",set d2d video rendertype failed.");
}

int CVoiceChannel::JoinEngineChannel(agora::rtc::IRtcEngine* engine, const JoinParams& params) {
  VoiceEngineHolder& holder = GetHolder();
  if (engine->setClientRole(agora::rtc::CLIENT_ROLE_BROADCASTER) == 0)
    holder.clientRole = agora::rtc::CLIENT_ROLE_BROADCASTER;

  std::wstring channelName = std::to_wstring(params.cid);
  char channel[128] = {};
  std::string channelUtf8 = zarvik::WideToUtf8(channelName);
  strncpy(channel, channelUtf8.c_str(), sizeof(channel) - 1);
  std::string key = params.key;
  int rc = engine->joinChannel(key.c_str(), channel, nullptr,
                               static_cast<agora::rtc::uid_t>(params.uid));
  if (rc != 0) {
    LogLine(ERROR, zarvik::WideToAnsi(L"连麦失败：进入频道失败。"));
    return kJoinRefused;
  }
  holder.channelName = channelName;
  GetEngineEventHandler().SetReceiver(m_window);
  LogLine(INFO, zarvik::WideToAnsi(L"观众(uid) : "), params.uid,
          zarvik::WideToAnsi(L" 成功进入频道："), params.cid);
  return kJoinAccepted;
}

void CVoiceChannel::LeaveChannel() {
  REQUIRE_OWN_THREAD(m_thread);
  VoiceEngineHolder& holder = GetHolder();
  if (agora::rtc::IRtcEngine* engine = holder.engine) {
    // Results are ignored: leaving when not in a channel runs the same steps.
    if (engine->setClientRole(agora::rtc::CLIENT_ROLE_AUDIENCE) == 0)
      holder.clientRole = agora::rtc::CLIENT_ROLE_AUDIENCE;
    engine->stopPreview();
    engine->leaveChannel();
    agora::rtc::RtcEngineParameters parameters(engine);
    if (parameters.muteLocalVideoStream(false) == 0)
      holder.localVideoMuted = false;
    if (parameters.muteLocalAudioStream(false) == 0)
      holder.localAudioMuted = false;
  }
  ShowOnOwner(m_ownerWnd, false);
}

void CVoiceChannel::ShowOnOwner(HWND owner, bool show) {
  if (!m_window)
    return;
  if (show && IsWindow(owner)) {
    POINT origin = {0, 0};
    ClientToScreen(owner, &origin);
    SetWindowPos(m_window, HWND_TOPMOST, origin.x + kVoiceWndLeft, origin.y + kVoiceWndTop,
                 kVoiceWndWidth, kVoiceWndHeight, SWP_SHOWWINDOW);
  } else {
    ShowWindow(m_window, SW_HIDE);  // hidden, without taking focus
  }
}

bool CVoiceChannel::HandleEngineEvent(UINT message, WPARAM wParam, LPARAM lParam) {
  (void)lParam;
  REQUIRE_OWN_THREAD(m_thread);
  switch (message) {
    case EID_JOINCHANNEL_SUCCESS:
      OnJoinSuccess(wParam);
      return true;
    case EID_REJOINCHANNEL_SUCCESS:
      OnRejoinSuccess(wParam);
      return true;
    case EID_ERROR:
      OnEngineError(wParam);
      return true;
    case EID_FIRST_LOCAL_VIDEO_FRAME:
      OnFirstLocalFrame(wParam);
      return true;
    case EID_FIRST_REMOTE_VIDEO_DECODED:
      OnFirstRemoteFrame(wParam);
      return true;
    case EID_USER_OFFLINE:
      OnUserOffline(wParam);
      return true;
    case EID_STREAM_PUBLISHED:
    case EID_STREAM_UNPUBLISHED:
      OnStreamPublishState(message == EID_STREAM_PUBLISHED, wParam);
      return true;
    case EID_LIVE_TRANSCODING:
      LogLine(INFO, "EID_LIVE_TRANSCODING");
      return true;
    default:
      return false;
  }
}

void CVoiceChannel::OnJoinSuccess(WPARAM wParam) {
  if (auto record = TakeRecord<JoinEventRecord>(wParam)) {
    LogLine(INFO, "OnEIDJoinChannelSuccess cid : ", record->channel ? record->channel : "",
            ",uid : ", record->uid, ",elapsed : ", record->elapsed, ".");
    delete[] record->channel;
  }
}

void CVoiceChannel::OnRejoinSuccess(WPARAM wParam) {
  if (auto record = TakeRecord<JoinEventRecord>(wParam)) {
    LogLine(INFO, kSource, "CVCastWnd::OnEIDReJoinChannelSuccess",
            zarvik::WideToAnsi(L"重进入频道成功。"));
    delete[] record->channel;
  }
}

void CVoiceChannel::OnEngineError(WPARAM wParam) {
  if (auto record = TakeRecord<ErrorEventRecord>(wParam)) {
    char text[512] = {};
    snprintf(text, sizeof(text), "Agora SDK Error Code : %d, Error Message : %s", record->err,
             record->message ? record->message : "(no message)");
    LogLine(ERROR, kSource, "CVCastWnd::OnSDKError", text);
    delete[] record->message;
  }
}

void CVoiceChannel::OnFirstLocalFrame(WPARAM wParam) {
  if (auto record = TakeRecord<LocalFrameRecord>(wParam)) {
    LogLine(INFO, kSource, "CVCastWnd::OnEIDFirstLocalFrame",
            zarvik::WideToAnsi(L"本地首帧视频。"));
    LogLine(INFO, "OnEIDFirstLocalFrame (width) : ", record->width, ",height:", record->height);
  }
}

// The remote user's first picture: the window appears over its owner and shows that user.
void CVoiceChannel::OnFirstRemoteFrame(WPARAM wParam) {
  auto record = TakeRecord<RemoteFrameRecord>(wParam);
  if (!record)
    return;
  LogLine(INFO, "OnEIDFirstRemoteFrameDecoded (uid) : ", record->uid, ",width : ", record->width,
          ",height : ", record->height, ",elapsed : ", record->elapsed);
  ShowOnOwner(m_ownerWnd, true);
  VoiceEngineHolder& holder = GetHolder();
  if (holder.engine) {
    agora::rtc::VideoCanvas canvas;
    canvas.view = m_window;
    canvas.renderMode = agora::rtc::RENDER_MODE_FIT;
    canvas.channelId[0] = '\0';
    canvas.uid = record->uid;
    canvas.priv = nullptr;
    canvas.mirrorMode = agora::rtc::VIDEO_MIRROR_MODE_AUTO;
    holder.engine->setupRemoteVideo(canvas);
  }
  holder.remoteVideoSizes[record->uid] = SIZE{record->width, record->height};
}

void CVoiceChannel::OnUserOffline(WPARAM wParam) {
  if (auto record = TakeRecord<UserOfflineRecord>(wParam)) {
    // Any remote user leaving, for any reason, ends this client's part in the channel.
    LogLine(INFO, "OnEIDUserOffline (uid) : ", record->uid, ",notify webside to closeMic.");
    if (m_ownerWnd)
      SendMessageW(m_ownerWnd, WM_VOICE_CLOSE_MIC, 0, 0);
    LeaveChannel();
  }
}

void CVoiceChannel::OnStreamPublishState(bool published, WPARAM wParam) {
  if (auto url = TakeRecord<char>(wParam)) {
    LogLine(INFO, published ? "onStreamPublished : " : "onStreamUnPublished : ", url.get());
    delete[] url.release();
  }
}
