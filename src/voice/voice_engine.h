// The voice engine holder: one per process, created on first use and never destroyed. It owns
// the engine made by the SDK's factory and the state the client keeps about it. Only the UI
// thread uses it.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <map>
#include <string>

#include "IAgoraRtcEngine.h"

// The client's application id for the voice service.
extern const wchar_t kVoiceApplicationId[];

struct VoiceEngineHolder {
  agora::rtc::IRtcEngine* engine = nullptr;  // none when the factory gave none
  std::wstring applicationId;
  std::wstring channelName;  // set when a join is accepted
  // Updated after the matching engine call succeeds; kept for diagnosis only.
  bool audioEnabled = false;
  bool videoEnabled = false;
  bool channelProfileSet = false;
  int clientRole = 0;  // 1 broadcaster, 2 audience
  bool localAudioMuted = false;
  bool localVideoMuted = false;
  std::map<uint32_t, SIZE> remoteVideoSizes;  // per uid
};

// The holder, created with its engine when needed. With an application id it also initialises
// the engine with the process-wide event handler and keeps the id.
VoiceEngineHolder& GetHolder(const wchar_t* applicationId = nullptr);

// The engine set-up done when the voice window is constructed: initialise, enable audio and
// video, engine log file, live-broadcasting profile, broadcaster role, audio profile; then the
// INFO line that the SDK is ready.
void SetUpVoiceEngine();

// The engine's log file for an executable at modulePathAnsi (ANSI code page): "AgoraSDK.log" in
// the executable's folder, with forward slashes, as UTF-8. For example
// "C:\Games\Client\zarvik.exe" gives "C:/Games/Client/AgoraSDK.log".
std::string EngineLogFileForModule(const std::string& modulePathAnsi);

// The last component of a source path, for log lines that name their source file.
const char* SourceFileName(const char* path);
