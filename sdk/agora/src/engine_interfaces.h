// The engine's secondary interfaces handed out by queryInterface: the audio device manager with
// its device collections, and the parameter interface. Each object is released by its holder.
#pragma once

#include <string>
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

class AudioDeviceCollection : public agora::rtc::IAudioDeviceCollection {
 public:
  AudioDeviceCollection(RtcEngine* engine, bool recording);
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
  RtcEngine* m_engine;
  std::vector<std::string> m_names;  // UTF-8
  int m_volume = 255;
  bool m_mute = false;
};

class AudioDeviceManager : public agora::rtc::IAudioDeviceManager {
 public:
  explicit AudioDeviceManager(RtcEngine* engine) : m_engine(engine) {}
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
