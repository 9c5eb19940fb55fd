#include "voice/voice_engine.h"

#include <string.h>

#include "common/encoding.h"
#include "diagnostics/log.h"
#include "voice/ag_engine_event_handler.h"

const wchar_t kVoiceApplicationId[] = L"9f3e6a2d5c8b47e1a0d4f7c2b6e9a153";

VoiceEngineHolder& GetHolder(const wchar_t* applicationId) {
  static VoiceEngineHolder* holder = [] {
    auto* created = new VoiceEngineHolder;  // lives until the process ends
    created->engine = createAgoraRtcEngine();
    return created;
  }();
  if (applicationId && holder->engine) {
    char id[128] = {};
    std::string utf8 = zarvik::WideToUtf8(applicationId);
    strncpy(id, utf8.c_str(), sizeof(id) - 1);
    agora::rtc::RtcEngineContext context;
    context.eventHandler = &GetEngineEventHandler();
    context.appId = id;
    context.context = nullptr;
    context.areaCode = 0xFFFFFFFF;
    holder->engine->initialize(context);  // a failure shows up later as failed joins
    holder->applicationId = applicationId;
  }
  return *holder;
}

const char* SourceFileName(const char* path) {
  const char* name = path;
  for (const char* p = path; *p; ++p) {
    if (*p == '/' || *p == '\\')
      name = p + 1;
  }
  return name;
}

std::string EngineLogFileForModule(const std::string& modulePathAnsi) {
  std::string folder = modulePathAnsi;
  size_t slash = folder.find_last_of('\\');
  folder = slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
  // Slashes are swapped in UTF-16: in a multi-byte code page a backslash byte can be the
  // second byte of a character, which a byte-wise swap would break.
  std::wstring path = zarvik::AnsiToWide(folder + "AgoraSDK.log");
  for (wchar_t& c : path) {
    if (c == L'\\')
      c = L'/';
  }
  return zarvik::WideToUtf8(path);
}

void SetUpVoiceEngine() {
  VoiceEngineHolder& holder = GetHolder(kVoiceApplicationId);
  agora::rtc::IRtcEngine* engine = holder.engine;
  if (engine) {
    // Results are not examined, except that video counts as enabled only on success.
    engine->enableAudio();
    holder.audioEnabled = true;
    if (engine->enableVideo() == 0)
      holder.videoEnabled = true;

    char module[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    std::string logFile = EngineLogFileForModule(module);
    agora::rtc::RtcEngineParameters parameters(engine);
    parameters.setLogFile(logFile.c_str());

    engine->setChannelProfile(agora::rtc::CHANNEL_PROFILE_LIVE_BROADCASTING);
    holder.channelProfileSet = true;
    engine->setClientRole(agora::rtc::CLIENT_ROLE_BROADCASTER);
    holder.clientRole = agora::rtc::CLIENT_ROLE_BROADCASTER;
    engine->setAudioProfile(agora::rtc::AUDIO_PROFILE_MUSIC_HIGH_QUALITY_STEREO,
                            agora::rtc::AUDIO_SCENARIO_SHOWROOM);
    LogLine(INFO, zarvik::WideToAnsi(L"初始化Agora SDK成功。"));
  } else {
    // Every engine call is skipped from here on and joins report failure.
    LogLine(ERROR, SourceFileName(__FILE__), " the voice engine could not be created.");
  }
}
