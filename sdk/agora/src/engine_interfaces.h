// The engine's secondary interfaces handed out by queryInterface: the audio device manager with
// its device collections, and the parameter interface. Each object is released by its holder.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "IAgoraRtcEngine.h"

namespace agora_standin {

class RtcEngine;

class StringValue : public agora::util::IString {
 public:
  explicit StringValue(std::string text) : m_text(std::move(text)) {}
  bool empty() const override { return m_text.empty(); }
  const char* c_str() override { return m_text.c_str(); }
  const char* data() override { return m_text.data(); }
  size_t length() override { return m_text.size(); }
  IString* clone() override { return new StringValue(m_text); }
  void release() override { delete this; }

 private:
  std::string m_text;
};

// The number of microphones: AGORA_RTC_RECORDING_DEVICES when it is set to a number 0 to 64
// (for machines without a sound device), otherwise the system's wave-in device count.
int RecordingDeviceCount();

// The audio devices' names (UTF-8), as the system gives them.
struct AudioDeviceNames {
  std::vector<std::string> recording;
  std::vector<std::string> playback;
};

// Asks the system for its audio devices: the recording count of RecordingDeviceCount, names from
// the wave-in and wave-out capabilities ("Microphone N" / "Speaker N" where there is none).
AudioDeviceNames QueryAudioDevices();

// The device list the engine keeps, so that asking for the devices (every join asks for the
// microphones, and without one it asks again at each join) costs no system query: with no sound
// device, Wine's wave-in count takes milliseconds a call. The first audio device manager starts
// the watch, which lasts as long as the process: a hidden top-level window of class
// kDeviceWatchClass, on a thread of its own, receives the system's WM_DEVICECHANGE broadcasts,
// and each one reads the list again before the window answers, so a device plugged in is in the
// list for the next question after the broadcast.
extern const wchar_t kDeviceWatchClass[];

void StartDeviceWatch();
// The kept devices, and the number of their reading (it grows with each re-reading). Without a
// running watch (the system refused the thread or the window) the system is asked now.
AudioDeviceNames KeptAudioDevices(unsigned* reading);

class AudioDeviceCollection : public agora::rtc::IAudioDeviceCollection {
 public:
  explicit AudioDeviceCollection(std::vector<std::string> names) : m_names(std::move(names)) {}
  int getCount() override;
  int getDevice(int index,
                char deviceName[agora::rtc::MAX_DEVICE_ID_LENGTH],
                char deviceId[agora::rtc::MAX_DEVICE_ID_LENGTH]) override;
  int setDevice(const char deviceId[agora::rtc::MAX_DEVICE_ID_LENGTH]) override;
  int setApplicationVolume(int volume) override;
  int getApplicationVolume(int& volume) override;
  int setApplicationMute(bool mute) override;
  int isApplicationMute(bool& mute) override;
  void release() override { delete this; }

 private:
  std::vector<std::string> m_names;  // UTF-8
  int m_volume = 255;
  bool m_mute = false;
};

class AudioDeviceManager : public agora::rtc::IAudioDeviceManager {
 public:
  // Starts the device watch (once per process).
  explicit AudioDeviceManager(RtcEngine* engine);
  agora::rtc::IAudioDeviceCollection* enumeratePlaybackDevices() override;
  agora::rtc::IAudioDeviceCollection* enumerateRecordingDevices() override;
  int setPlaybackDevice(const char deviceId[agora::rtc::MAX_DEVICE_ID_LENGTH]) override;
  int setRecordingDevice(const char deviceId[agora::rtc::MAX_DEVICE_ID_LENGTH]) override;
  int setPlaybackDeviceVolume(int volume) override;
  int getPlaybackDeviceVolume(int* volume) override;
  int setRecordingDeviceVolume(int volume) override;
  int getRecordingDeviceVolume(int* volume) override;
  void release() override { delete this; }

 private:
  // The kept devices; the engine's log names the counts of each reading it sees.
  AudioDeviceNames Devices();

  RtcEngine* m_engine;
  int m_playbackVolume = 255;
  int m_recordingVolume = 255;
};

class EngineParameter : public agora::rtc::IRtcEngineParameter {
 public:
  explicit EngineParameter(RtcEngine* engine) : m_engine(engine) {}
  void release() override { delete this; }
  int setBool(const char* key, bool value) override;
  int setInt(const char* key, int value) override;
  int setUInt(const char* key, unsigned int value) override;
  int setNumber(const char* key, double value) override;
  int setString(const char* key, const char* value) override;
  int setObject(const char* key, const char* value) override;
  int getBool(const char* key, bool& value) override;
  int getInt(const char* key, int& value) override;
  int getUInt(const char* key, unsigned int& value) override;
  int getNumber(const char* key, double& value) override;
  int getString(const char* key, agora::util::AString& value) override;
  int getObject(const char* key, agora::util::AString& value) override;
  int getArray(const char* key, agora::util::AString& value) override;
  int setParameters(const char* parameters) override;
  int setProfile(const char* profile, bool merge) override;
  int convertPath(const char* filePath, agora::util::AString& value) override;

 private:
  int Get(const char* key, std::string& value);
  RtcEngine* m_engine;
};

}  // namespace agora_standin
