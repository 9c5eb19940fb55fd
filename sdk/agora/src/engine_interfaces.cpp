#include "engine_interfaces.h"

#include <windows.h>
// after windows.h
#include <dbt.h>
#include <mmsystem.h>

#include <stdlib.h>

#include <exception>
#include <map>
#include <mutex>
#include <thread>

#include "rtc_engine.h"

namespace agora_standin {

using namespace agora::rtc;

namespace {

std::string ToUtf8(const wchar_t* text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0)
    return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

void CopyField(char* target, const std::string& text) {
  size_t n = text.size() < MAX_DEVICE_ID_LENGTH - 1 ? text.size() : MAX_DEVICE_ID_LENGTH - 1;
  memcpy(target, text.data(), n);
  target[n] = '\0';
}

}  // namespace

int RecordingDeviceCount() {
  if (const char* forced = getenv("AGORA_RTC_RECORDING_DEVICES")) {
    char* end = nullptr;
    long n = strtol(forced, &end, 10);
    if (end != forced && *end == '\0' && n >= 0 && n <= 64)
      return static_cast<int>(n);
  }
  return static_cast<int>(waveInGetNumDevs());
}

AudioDeviceNames QueryAudioDevices() {
  AudioDeviceNames devices;
  const int recording = RecordingDeviceCount();
  const int wavesIn = static_cast<int>(waveInGetNumDevs());
  for (int i = 0; i < recording; ++i) {
    std::string name;
    WAVEINCAPSW caps = {};
    if (i < wavesIn &&
        waveInGetDevCapsW(static_cast<UINT_PTR>(i), &caps, sizeof(caps)) == MMSYSERR_NOERROR)
      name = ToUtf8(caps.szPname);
    devices.recording.push_back(name.empty() ? "Microphone " + std::to_string(i + 1) : name);
  }
  const int playback = static_cast<int>(waveOutGetNumDevs());
  for (int i = 0; i < playback; ++i) {
    std::string name;
    WAVEOUTCAPSW caps = {};
    if (waveOutGetDevCapsW(static_cast<UINT_PTR>(i), &caps, sizeof(caps)) == MMSYSERR_NOERROR)
      name = ToUtf8(caps.szPname);
    devices.playback.push_back(name.empty() ? "Speaker " + std::to_string(i + 1) : name);
  }
  return devices;
}

// ---- The kept device list ----

const wchar_t kDeviceWatchClass[] = L"RtcEngineDeviceWatch";

namespace {

struct DeviceWatch {
  std::once_flag started;
  std::mutex lock;  // guards the state below
  AudioDeviceNames devices;
  unsigned reading = 0;
  bool running = false;
  // The last reading each engine's log has named, so a log line comes only with a change.
  std::map<const RtcEngine*, unsigned> logged;
};

// Never destroyed, and its thread never ends: the list serves every engine of the process for
// its whole life (the DLL is never unloaded), and a thread must not be joined while the loader
// tears a DLL down.
DeviceWatch& Watch() {
  static DeviceWatch* watch = new DeviceWatch;
  return *watch;
}

void ReadDevices(DeviceWatch& watch) {
  AudioDeviceNames devices = QueryAudioDevices();
  std::lock_guard<std::mutex> guard(watch.lock);
  watch.devices = std::move(devices);
  ++watch.reading;
}

LRESULT CALLBACK DeviceWatchProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DEVICECHANGE) {
    // A device node came or went (the system names the device only to windows that registered
    // for its class): the list is read again before the broadcast returns.
    if (wParam == DBT_DEVNODES_CHANGED || wParam == DBT_DEVICEARRIVAL ||
        wParam == DBT_DEVICEREMOVECOMPLETE)
      ReadDevices(Watch());
    return TRUE;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// The watch's thread: its window, the first reading, then the window's messages. `ready` is
// signalled once the list has been read (or the window could not be made).
void RunDeviceWatch(DeviceWatch* watch, HANDLE ready) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = DeviceWatchProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kDeviceWatchClass;
  RegisterClassW(&wc);
  // Top-level, never shown: the system's WM_DEVICECHANGE broadcasts reach top-level windows only,
  // not message-only ones.
  HWND window = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kDeviceWatchClass, L"",
                                WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
  if (window) {
    ReadDevices(*watch);
    std::lock_guard<std::mutex> guard(watch->lock);
    watch->running = true;
  }
  SetEvent(ready);
  if (!window)
    return;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0)
    DispatchMessageW(&msg);
}

}  // namespace

void StartDeviceWatch() {
  DeviceWatch& watch = Watch();
  std::call_once(watch.started, [&watch] {
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!ready)
      return;  // no watch: every question asks the system
    try {
      std::thread(RunDeviceWatch, &watch, ready).detach();
      WaitForSingleObject(ready, INFINITE);
    } catch (const std::exception&) {
    }
    CloseHandle(ready);
  });
}

AudioDeviceNames KeptAudioDevices(unsigned* reading) {
  DeviceWatch& watch = Watch();
  {
    std::lock_guard<std::mutex> guard(watch.lock);
    if (watch.running) {
      if (reading)
        *reading = watch.reading;
      return watch.devices;
    }
  }
  // Each answer is a reading of its own.
  AudioDeviceNames devices = QueryAudioDevices();
  std::lock_guard<std::mutex> guard(watch.lock);
  if (reading)
    *reading = ++watch.reading;
  return devices;
}

AudioDeviceManager::AudioDeviceManager(RtcEngine* engine) : m_engine(engine) {
  StartDeviceWatch();
}

AudioDeviceNames AudioDeviceManager::Devices() {
  unsigned reading = 0;
  AudioDeviceNames devices = KeptAudioDevices(&reading);
  bool changed = false;
  {
    DeviceWatch& watch = Watch();
    std::lock_guard<std::mutex> guard(watch.lock);
    unsigned& logged = watch.logged[m_engine];
    changed = logged != reading;
    logged = reading;
  }
  if (changed)
    m_engine->Log("recording devices: " + std::to_string(devices.recording.size()) +
                  ", playback devices: " + std::to_string(devices.playback.size()));
  return devices;
}

int AudioDeviceCollection::getCount() {
  return static_cast<int>(m_names.size());
}

int AudioDeviceCollection::getDevice(int index,
                                     char deviceName[MAX_DEVICE_ID_LENGTH],
                                     char deviceId[MAX_DEVICE_ID_LENGTH]) {
  if (index < 0 || index >= getCount() || !deviceName || !deviceId)
    return -agora::ERR_INVALID_ARGUMENT;
  CopyField(deviceName, m_names[static_cast<size_t>(index)]);
  CopyField(deviceId, "{wave-" + std::to_string(index) + "}");
  return 0;
}

int AudioDeviceCollection::setDevice(const char deviceId[MAX_DEVICE_ID_LENGTH]) {
  if (!deviceId)
    return -agora::ERR_INVALID_ARGUMENT;
  for (int i = 0; i < getCount(); ++i) {
    if (std::string(deviceId) == "{wave-" + std::to_string(i) + "}")
      return 0;
  }
  return -agora::ERR_INVALID_ARGUMENT;
}

int AudioDeviceCollection::setApplicationVolume(int volume) {
  if (volume < 0 || volume > 255)
    return -agora::ERR_INVALID_ARGUMENT;
  m_volume = volume;
  return 0;
}

int AudioDeviceCollection::getApplicationVolume(int& volume) {
  volume = m_volume;
  return 0;
}

int AudioDeviceCollection::setApplicationMute(bool mute) {
  m_mute = mute;
  return 0;
}

int AudioDeviceCollection::isApplicationMute(bool& mute) {
  mute = m_mute;
  return 0;
}

IAudioDeviceCollection* AudioDeviceManager::enumeratePlaybackDevices() {
  return new AudioDeviceCollection(Devices().playback);
}

IAudioDeviceCollection* AudioDeviceManager::enumerateRecordingDevices() {
  return new AudioDeviceCollection(Devices().recording);
}

int AudioDeviceManager::setPlaybackDevice(const char deviceId[MAX_DEVICE_ID_LENGTH]) {
  AudioDeviceCollection devices(Devices().playback);
  return devices.setDevice(deviceId);
}

int AudioDeviceManager::setRecordingDevice(const char deviceId[MAX_DEVICE_ID_LENGTH]) {
  AudioDeviceCollection devices(Devices().recording);
  return devices.setDevice(deviceId);
}

int AudioDeviceManager::setPlaybackDeviceVolume(int volume) {
  if (volume < 0 || volume > 255)
    return -agora::ERR_INVALID_ARGUMENT;
  m_playbackVolume = volume;
  return 0;
}

int AudioDeviceManager::getPlaybackDeviceVolume(int* volume) {
  if (!volume)
    return -agora::ERR_INVALID_ARGUMENT;
  *volume = m_playbackVolume;
  return 0;
}

int AudioDeviceManager::setRecordingDeviceVolume(int volume) {
  if (volume < 0 || volume > 255)
    return -agora::ERR_INVALID_ARGUMENT;
  m_recordingVolume = volume;
  return 0;
}

int AudioDeviceManager::getRecordingDeviceVolume(int* volume) {
  if (!volume)
    return -agora::ERR_INVALID_ARGUMENT;
  *volume = m_recordingVolume;
  return 0;
}

// ---- Parameters ----

int EngineParameter::setBool(const char* key, bool value) {
  return key ? m_engine->SetParameter(key, value ? "true" : "false") : -agora::ERR_INVALID_ARGUMENT;
}

int EngineParameter::setInt(const char* key, int value) {
  return key ? m_engine->SetParameter(key, std::to_string(value)) : -agora::ERR_INVALID_ARGUMENT;
}

int EngineParameter::setUInt(const char* key, unsigned int value) {
  return key ? m_engine->SetParameter(key, std::to_string(value)) : -agora::ERR_INVALID_ARGUMENT;
}

int EngineParameter::setNumber(const char* key, double value) {
  return key ? m_engine->SetParameter(key, std::to_string(value)) : -agora::ERR_INVALID_ARGUMENT;
}

int EngineParameter::setString(const char* key, const char* value) {
  return key && value ? m_engine->SetParameter(key, value) : -agora::ERR_INVALID_ARGUMENT;
}

int EngineParameter::setObject(const char* key, const char* value) {
  return setString(key, value);
}

int EngineParameter::Get(const char* key, std::string& value) {
  if (!key)
    return -agora::ERR_INVALID_ARGUMENT;
  return m_engine->GetParameter(key, value) ? 0 : -agora::ERR_NOT_READY;
}

int EngineParameter::getBool(const char* key, bool& value) {
  std::string text;
  int rc = Get(key, text);
  if (!rc)
    value = text == "true" || (text != "false" && atoi(text.c_str()) != 0);
  return rc;
}

int EngineParameter::getInt(const char* key, int& value) {
  std::string text;
  int rc = Get(key, text);
  if (!rc)
    value = atoi(text.c_str());
  return rc;
}

int EngineParameter::getUInt(const char* key, unsigned int& value) {
  std::string text;
  int rc = Get(key, text);
  if (!rc)
    value = static_cast<unsigned>(strtoul(text.c_str(), nullptr, 10));
  return rc;
}

int EngineParameter::getNumber(const char* key, double& value) {
  std::string text;
  int rc = Get(key, text);
  if (!rc)
    value = atof(text.c_str());
  return rc;
}

int EngineParameter::getString(const char* key, agora::util::AString& value) {
  std::string text;
  int rc = Get(key, text);
  if (!rc)
    value.reset(new StringValue(text));
  return rc;
}

int EngineParameter::getObject(const char* key, agora::util::AString& value) {
  return getString(key, value);
}

int EngineParameter::getArray(const char* key, agora::util::AString& value) {
  return getString(key, value);
}

int EngineParameter::setParameters(const char* parameters) {
  return parameters ? m_engine->SetParameters(parameters) : -agora::ERR_INVALID_ARGUMENT;
}

int EngineParameter::setProfile(const char* profile, bool merge) {
  (void)merge;
  return setParameters(profile);
}

int EngineParameter::convertPath(const char* filePath, agora::util::AString& value) {
  if (!filePath || !*filePath)
    return -agora::ERR_INVALID_ARGUMENT;
  // The engine opens files with the system's own separators.
  std::string path = filePath;
  for (char& c : path) {
    if (c == '/')
      c = '\\';
  }
  m_engine->Log(std::string("convert path ") + filePath + " -> " + path);
  value.reset(new StringValue(path));
  return 0;
}

}  // namespace agora_standin
