// The engine's kept device list: asking for the microphones costs no system query, and a device
// change that the system broadcasts is in the list for the next question. The override
// AGORA_RTC_RECORDING_DEVICES stands in for the system's microphones.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdlib.h>

#include <string>

#include "IAgoraRtcEngine.h"

namespace {

using namespace agora::rtc;

// The class of the engine's hidden device-watch window.
const wchar_t kWatchClass[] = L"RtcEngineDeviceWatch";

void SetMicrophones(int count) {
  std::string setting = "AGORA_RTC_RECORDING_DEVICES=" + std::to_string(count);
  _putenv(setting.c_str());
}

// What the system broadcasts to every top-level window when a device node comes or goes.
void AnnounceDeviceChange() {
  DWORD_PTR answer = 0;
  SendMessageTimeoutW(HWND_BROADCAST, WM_DEVICECHANGE, 0x0007 /* DBT_DEVNODES_CHANGED */, 0,
                      SMTO_ABORTIFHUNG, 5000, &answer);
}

// The watch windows of this process.
int WatchWindows() {
  struct Search {
    int found = 0;
  } search;
  EnumWindows(
      [](HWND window, LPARAM param) -> BOOL {
        wchar_t name[64] = {};
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process == GetCurrentProcessId() && GetClassNameW(window, name, 64) &&
            std::wstring(name) == kWatchClass)
          ++reinterpret_cast<Search*>(param)->found;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

IAudioDeviceManager* Manager(IRtcEngine* engine) {
  IAudioDeviceManager* manager = nullptr;
  EXPECT_EQ(engine->queryInterface(agora::AGORA_IID_AUDIO_DEVICE_MANAGER, (void**)&manager), 0);
  return manager;
}

// The microphones the manager gives now: their count, and the last one's name.
int Microphones(IAudioDeviceManager* manager, std::string* lastName = nullptr) {
  IAudioDeviceCollection* devices = manager->enumerateRecordingDevices();
  if (!devices)
    return -1;
  const int count = devices->getCount();
  char name[MAX_DEVICE_ID_LENGTH] = {}, id[MAX_DEVICE_ID_LENGTH] = {};
  if (lastName && count > 0 && devices->getDevice(count - 1, name, id) == 0)
    *lastName = name;
  devices->release();
  return count;
}

TEST(EngineDeviceList, KeptUntilTheSystemAnnouncesAChange) {
  IRtcEngine* engine = createAgoraRtcEngine();
  ASSERT_NE(engine, nullptr);
  SetMicrophones(1);
  IAudioDeviceManager* manager = Manager(engine);
  ASSERT_NE(manager, nullptr);
  EXPECT_EQ(WatchWindows(), 1);
  AnnounceDeviceChange();  // the watch may have started in an earlier test
  EXPECT_EQ(Microphones(manager), 1);

  // A microphone is plugged in: not asked for at each question, so not seen yet ...
  SetMicrophones(2);
  EXPECT_EQ(Microphones(manager), 1);
  // ... until the system's broadcast, after which the very next question sees it.
  AnnounceDeviceChange();
  std::string name;
  EXPECT_EQ(Microphones(manager, &name), 2);
  EXPECT_EQ(name, "Microphone 2");
  char id[MAX_DEVICE_ID_LENGTH] = "{wave-1}";
  EXPECT_EQ(manager->setRecordingDevice(id), 0);

  // Both unplugged: gone with the next broadcast.
  SetMicrophones(0);
  AnnounceDeviceChange();
  EXPECT_EQ(Microphones(manager), 0);
  EXPECT_EQ(manager->setRecordingDevice(id), -agora::ERR_INVALID_ARGUMENT);

  // A change of other kinds of device message leaves the list alone.
  SetMicrophones(3);
  DWORD_PTR answer = 0;
  SendMessageTimeoutW(HWND_BROADCAST, WM_DEVICECHANGE, 0x0018 /* DBT_CONFIGCHANGED */, 0,
                      SMTO_ABORTIFHUNG, 5000, &answer);
  EXPECT_EQ(Microphones(manager), 0);

  manager->release();
  _putenv("AGORA_RTC_RECORDING_DEVICES=");
  engine->release(true);
}

TEST(EngineDeviceList, OneListForTheProcessKeptWhenManagersGo) {
  IRtcEngine* first = createAgoraRtcEngine();
  IRtcEngine* second = createAgoraRtcEngine();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  IAudioDeviceManager* a = Manager(first);
  IAudioDeviceManager* b = Manager(second);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(WatchWindows(), 1);  // one watch for the process, however many engines
  SetMicrophones(4);
  AnnounceDeviceChange();
  EXPECT_EQ(Microphones(a), 4);
  EXPECT_EQ(Microphones(b), 4);

  // Managers come and go (the client drops its manager after a join without a microphone): the
  // list stays, and a new manager answers from it without asking the system.
  a->release();
  b->release();
  EXPECT_EQ(WatchWindows(), 1);
  SetMicrophones(2);
  IAudioDeviceManager* c = Manager(first);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(Microphones(c), 4);
  AnnounceDeviceChange();
  EXPECT_EQ(Microphones(c), 2);
  c->release();
  EXPECT_EQ(WatchWindows(), 1);

  _putenv("AGORA_RTC_RECORDING_DEVICES=");
  first->release(true);
  second->release(true);
}

}  // namespace
