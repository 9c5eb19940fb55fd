// The voice window's channel work against the real engine: a channel server in this process,
// plain windows standing in for the voice window and its owner, and a second engine playing
// the remote user.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdlib.h>

#include <string>
#include <thread>

#include "channel_server.h"
#include "common/encoding.h"
#include "diagnostics/log.h"
#include "support/message_pump.h"
#include "support/temp_dir.h"
#include "support/voice_events.h"
#include "voice/ag_engine_event_handler.h"
#include "voice/voice_channel.h"
#include "voice/voice_engine.h"
#include "voice/voice_messages.h"

namespace {

using zarvik_test::PumpUntil;
using zarvik_test::ReadFileBytes;
using zarvik_test::TempDir;

// A voice window stand-in: engine events go to the channel object, as CVCastWnd does.
// The owner records WM_VOICE_CLOSE_MIC and whether the voice window was visible then.
struct Windows {
  static CVoiceChannel* channel;
  static int closeMicCount;
  static bool visibleAtCloseMic;
  static HWND voiceWindow;

  static LRESULT CALLBACK VoiceProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (channel && channel->HandleEngineEvent(message, wParam, lParam))
      return 0;
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  static LRESULT CALLBACK OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_VOICE_CLOSE_MIC) {
      ++closeMicCount;
      visibleAtCloseMic = IsWindowVisible(voiceWindow) != FALSE;
      return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }

  Windows() {
    WNDCLASSW wc = {};
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpfnWndProc = VoiceProc;
    wc.lpszClassName = L"VoiceTestVoiceWindow";
    RegisterClassW(&wc);
    wc.lpfnWndProc = OwnerProc;
    wc.lpszClassName = L"VoiceTestOwnerWindow";
    RegisterClassW(&wc);
    owner = CreateWindowExW(0, L"VoiceTestOwnerWindow", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                            100, 50, 1000, 600, nullptr, nullptr, wc.hInstance, nullptr);
    voice = CreateWindowExW(0, L"VoiceTestVoiceWindow", L"voice", WS_POPUP, 0, 0, 480, 360, nullptr,
                            nullptr, wc.hInstance, nullptr);
    voiceWindow = voice;
    closeMicCount = 0;
    visibleAtCloseMic = false;
  }
  ~Windows() {
    channel = nullptr;
    DestroyWindow(voice);
    DestroyWindow(owner);
  }
  HWND owner;
  HWND voice;
};
CVoiceChannel* Windows::channel = nullptr;
int Windows::closeMicCount = 0;
bool Windows::visibleAtCloseMic = false;
HWND Windows::voiceWindow = nullptr;

// The system's microphones change: the override stands in for them, and the engine, which keeps
// its device list, hears of it from the broadcast the system sends to every top-level window.
void SetMicrophonesQuietly(int count) {
  std::string setting = "AGORA_RTC_RECORDING_DEVICES=" + std::to_string(count);
  _putenv(setting.c_str());
}

void SetMicrophones(int count) {
  SetMicrophonesQuietly(count);
  DWORD_PTR answer = 0;
  SendMessageTimeoutW(HWND_BROADCAST, WM_DEVICECHANGE, 0x0007 /* DBT_DEVNODES_CHANGED */, 0,
                      SMTO_ABORTIFHUNG, 5000, &answer);
}

class VoiceChannelTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_server = new channel_server::ChannelServer;
    s_server->SetLogSink([](const std::string&) {});
    ASSERT_TRUE(s_server->Start("127.0.0.1", 0));
    SetUpVoiceEngine();
    ASSERT_NE(GetHolder().engine, nullptr);
    std::string address = "127.0.0.1:" + std::to_string(s_server->port());
    agora::rtc::AParameter(GetHolder().engine)->setString("rtc.channel_server", address.c_str());
  }
  static void TearDownTestSuite() {
    delete s_server;
    s_server = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(CLog::Instance(zarvik::WideToAnsi(m_dir.File(L"zarvik.log")), true), nullptr);
    SetMicrophones(1);
    m_channel.SetWindow(m_windows.voice);
    m_channel.SetOwnerWindow(m_windows.owner);
    Windows::channel = &m_channel;
  }
  void TearDown() override {
    m_channel.LeaveChannel();
    CLog::Destroy();
    _putenv("AGORA_RTC_RECORDING_DEVICES=");
  }
  std::string Log() { return ReadFileBytes(m_dir.File(L"zarvik.log")); }
  bool Logged(const std::string& text) { return Log().find(text) != std::string::npos; }

  static channel_server::ChannelServer* s_server;
  TempDir m_dir;
  Windows m_windows;
  CVoiceChannel m_channel;
};
channel_server::ChannelServer* VoiceChannelTest::s_server = nullptr;

JoinParams Params(int cid, int uid, const std::string& key = std::string()) {
  JoinParams params;
  params.cid = cid;
  params.uid = uid;
  params.key = key;
  return params;
}

TEST_F(VoiceChannelTest, RequestsRefusedBeforeTheEngine) {
  EXPECT_EQ(m_channel.JoinChannel(nullptr), 65535);
  for (int cid : {0, -1, -12345}) {
    SCOPED_TRACE(cid);
    JoinParams params = Params(cid, 7, "k");
    EXPECT_EQ(m_channel.JoinChannel(&params), 65535);
    EXPECT_EQ(m_channel.GetRequestedCid(), cid);
  }
  std::string log = Log();
  EXPECT_NE(log.find("[INFO]:call jionchannel from web client.{cid:-1,uid:7,channelKey:k}"),
            std::string::npos);
  // Nothing reached the engine: no microphone check, no join.
  EXPECT_EQ(log.find("check mic hardware."), std::string::npos);
}

TEST_F(VoiceChannelTest, HandlersEnteredOffTheUiThreadSaySo) {
  // On the thread that made the channel object the handlers run quietly.
  m_channel.JoinChannel(nullptr);
  EXPECT_FALSE(m_channel.HandleEngineEvent(WM_NULL, 0, 0));
  EXPECT_FALSE(Logged("not on its own thread"));

  // Entered from another thread, each handler names itself in an ERROR line and still answers.
  int joinResult = 0;
  bool handled = true;
  std::thread other([&] {
    joinResult = m_channel.JoinChannel(nullptr);
    handled = m_channel.HandleEngineEvent(WM_NULL, 0, 0);
  });
  other.join();
  EXPECT_EQ(joinResult, 65535);
  EXPECT_FALSE(handled);
  for (const char* handler : {"JoinChannel", "HandleEngineEvent"}) {
    SCOPED_TRACE(handler);
    EXPECT_TRUE(Logged(std::string("[ERROR]:") + handler + " ran on thread "));
  }
}

TEST_F(VoiceChannelTest, NoMicrophoneThenOneIsPluggedIn) {
  SetMicrophones(0);
  JoinParams params = Params(4242, 11);
  EXPECT_EQ(m_channel.JoinChannel(&params), 1);
  std::string noMic = zarvik::WideToAnsi(L"检测不到麦克风设备，请检查电脑上的麦克风是否完好。");
  EXPECT_TRUE(Logged("[ERROR]:" + noMic));
  EXPECT_FALSE(Logged("set d2d video rendertype"));  // stopped before any join work

  // The device list is asked again at the next join.
  SetMicrophones(1);
  EXPECT_EQ(m_channel.JoinChannel(&params), 0);
  EXPECT_TRUE(Logged("voice_channel.cpp,set d2d video rendertype success."));
  EXPECT_TRUE(Logged(zarvik::WideToAnsi(L"观众(uid) : ") + "11" +
                     zarvik::WideToAnsi(L" 成功进入频道：") + "4242"));
}

TEST_F(VoiceChannelTest, JoinsUseTheKeptDeviceListUntilTheSystemAnnouncesAChange) {
  const std::string noMic =
      "[ERROR]:" + zarvik::WideToAnsi(L"检测不到麦克风设备，请检查电脑上的麦克风是否完好。");
  JoinParams params = Params(6161, 12);
  EXPECT_EQ(m_channel.JoinChannel(&params), 0);
  m_channel.LeaveChannel();

  // The microphone is unplugged but nobody has said so: the join asks no system and goes on.
  SetMicrophonesQuietly(0);
  EXPECT_EQ(m_channel.JoinChannel(&params), 0);
  m_channel.LeaveChannel();
  EXPECT_FALSE(Logged(noMic));

  // The system's broadcast: the next join finds no microphone.
  SetMicrophones(0);
  EXPECT_EQ(m_channel.JoinChannel(&params), 1);
  EXPECT_TRUE(Logged(noMic));

  // Plugged in again: joins without a microphone ask no system either, until the broadcast,
  // after which the very next join has the microphone.
  SetMicrophonesQuietly(1);
  EXPECT_EQ(m_channel.JoinChannel(&params), 1);
  SetMicrophones(1);
  EXPECT_EQ(m_channel.JoinChannel(&params), 0);
}

TEST_F(VoiceChannelTest, EngineRefusals) {
  JoinParams bad = Params(5151, 3, "key with spaces");
  EXPECT_EQ(m_channel.JoinChannel(&bad), 2);
  EXPECT_TRUE(Logged("[ERROR]:" + zarvik::WideToAnsi(L"连麦失败：进入频道失败。")));
  JoinParams good = Params(5151, 3, "006token");
  EXPECT_EQ(m_channel.JoinChannel(&good), 0);
  // The window does not track the channel: a second join asks the engine, which refuses.
  EXPECT_EQ(m_channel.JoinChannel(&good), 2);
  m_channel.LeaveChannel();
  EXPECT_EQ(m_channel.JoinChannel(&good), 0);
}

TEST_F(VoiceChannelTest, JoinTextBecomesTheRequest) {
  // The main window's path: the renderer's text, parsed, joins channel 12345 with uid 678.
  std::wstring text = FormatJoinText(12345, 678, L"k\u00E9y");
  std::unique_ptr<JoinParams> params = MakeJoinParams(ParseJoinText(text.c_str(), text.size()));
  EXPECT_EQ(params->cid, 12345);
  EXPECT_EQ(params->uid, 678);
  EXPECT_EQ(params->key, "k\xC3\xA9y");
  EXPECT_EQ(m_channel.JoinChannel(params.get()), 2);  // a key outside ASCII: the engine refuses
  params->key = "key";
  EXPECT_EQ(m_channel.JoinChannel(params.get()), 0);
  EXPECT_EQ(GetHolder().channelName, L"12345");
}

TEST_F(VoiceChannelTest, RemoteUserComesShowsVideoAndLeaves) {
  JoinParams params = Params(12345, 1001, "");
  ASSERT_EQ(m_channel.JoinChannel(&params), 0);
  ASSERT_TRUE(PumpUntil(
      [&] { return Logged("OnEIDJoinChannelSuccess cid : 12345,uid : 1001,elapsed : "); }));
  EXPECT_FALSE(IsWindowVisible(m_windows.voice));

  zarvik_test::RecordingEventHandler remoteEvents;
  agora::rtc::IRtcEngine* remote = createAgoraRtcEngine();
  ASSERT_NE(remote, nullptr);
  agora::rtc::RtcEngineContext context;
  context.eventHandler = &remoteEvents;
  context.appId = "9f3e6a2d5c8b47e1a0d4f7c2b6e9a153";
  ASSERT_EQ(remote->initialize(context), 0);
  std::string address = "127.0.0.1:" + std::to_string(s_server->port());
  agora::rtc::AParameter(remote)->setString("rtc.channel_server", address.c_str());
  remote->enableVideo();
  remote->setChannelProfile(agora::rtc::CHANNEL_PROFILE_LIVE_BROADCASTING);
  remote->setClientRole(agora::rtc::CLIENT_ROLE_BROADCASTER);
  ASSERT_EQ(remote->joinChannel("", "12345", nullptr, 2002), 0);

  // The first remote frame shows the window over its owner and renders the remote video.
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(m_windows.voice) != FALSE; }));
  EXPECT_TRUE(
      Logged("OnEIDFirstRemoteFrameDecoded (uid) : 2002,width : 160,height : 120,elapsed : "));
  POINT origin = {0, 0};
  ClientToScreen(m_windows.owner, &origin);
  RECT placed;
  GetWindowRect(m_windows.voice, &placed);
  EXPECT_EQ(placed.left, origin.x + 476);
  EXPECT_EQ(placed.top, origin.y + 90);
  EXPECT_EQ(placed.right - placed.left, 480);
  EXPECT_EQ(placed.bottom - placed.top, 360);
  EXPECT_TRUE(GetWindowLongW(m_windows.voice, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(GetHolder().remoteVideoSizes[2002].cx, 160);
  auto pixel = [&] {
    HDC dc = GetDC(m_windows.voice);
    COLORREF c = GetPixel(dc, 20, 60);
    ReleaseDC(m_windows.voice, dc);
    return c;
  };
  EXPECT_TRUE(PumpUntil([&] { return pixel() != RGB(255, 255, 255) && pixel() != CLR_INVALID; }));

  // Publishing events of this client's engine reach the log.
  ASSERT_EQ(GetHolder().engine->addPublishStreamUrl("rtmp://127.0.0.1/live/a", false), 0);
  ASSERT_EQ(GetHolder().engine->setLiveTranscoding(agora::rtc::LiveTranscoding()), 0);
  ASSERT_EQ(GetHolder().engine->removePublishStreamUrl("rtmp://127.0.0.1/live/a"), 0);
  EXPECT_TRUE(PumpUntil([&] { return Logged("onStreamUnPublished : rtmp://127.0.0.1/live/a"); }));
  EXPECT_TRUE(Logged("[INFO]:onStreamPublished : rtmp://127.0.0.1/live/a"));
  EXPECT_TRUE(Logged("[INFO]:EID_LIVE_TRANSCODING"));

  // The remote user leaves: the owner hears first, while the window still shows; then it hides.
  remote->leaveChannel();
  ASSERT_TRUE(PumpUntil([&] { return Windows::closeMicCount > 0; }));
  EXPECT_EQ(Windows::closeMicCount, 1);
  EXPECT_TRUE(Windows::visibleAtCloseMic);
  EXPECT_FALSE(IsWindowVisible(m_windows.voice));
  EXPECT_TRUE(Logged("[INFO]:OnEIDUserOffline (uid) : 2002,notify webside to closeMic."));
  remote->release(true);

  // Leaving again runs the same steps and keeps the window hidden.
  m_channel.LeaveChannel();
  EXPECT_FALSE(IsWindowVisible(m_windows.voice));
}

TEST_F(VoiceChannelTest, ErrorEventText) {
  struct Case {
    const char* message;
    std::string expected;
  };
  std::string longMessage(600, 'x');
  std::string cut = "Agora SDK Error Code : 17, Error Message : " + longMessage;
  cut.resize(511);
  const Case cases[] = {
      {"abc", "Agora SDK Error Code : 17, Error Message : abc"},
      {nullptr, "Agora SDK Error Code : 17, Error Message : (no message)"},
      {longMessage.c_str(), cut},
  };
  CAGEngineEventHandler handler;
  handler.SetReceiver(m_windows.voice);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected.substr(0, 60));
    handler.onError(17, c.message);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, m_windows.voice, EID_ERROR, EID_ERROR, PM_REMOVE));
    // This handler is not the process-wide one, so hand its record over the way that one does.
    ASSERT_TRUE(handler.ClaimRecord(reinterpret_cast<void*>(msg.wParam)));
    auto* record = reinterpret_cast<ErrorEventRecord*>(msg.wParam);
    EXPECT_EQ(record->err, 17);
    EXPECT_EQ(record->message ? std::string(record->message) : std::string("(none)"),
              c.message ? std::string(c.message) : std::string("(none)"));
    delete[] record->message;
    delete record;
  }
  // The process-wide handler's records go through the window's handling.
  GetEngineEventHandler().SetReceiver(m_windows.voice);
  GetEngineEventHandler().onError(17, "abc");
  ASSERT_TRUE(PumpUntil([&] { return Logged("CVCastWnd::OnSDKError"); }));
  EXPECT_TRUE(
      Logged("[ERROR]:voice_channel.cppCVCastWnd::OnSDKErrorAgora SDK Error Code : 17, "
             "Error Message : abc\r\n"));
}

TEST_F(VoiceChannelTest, ForgedEventMessagesAreRefused) {
  // Another process can post these numbers with any wParam; they must not be taken as records.
  int local = 0;
  for (UINT message :
       {EID_ERROR, EID_JOINCHANNEL_SUCCESS, EID_USER_OFFLINE, EID_STREAM_PUBLISHED}) {
    SCOPED_TRACE(message);
    EXPECT_TRUE(m_channel.HandleEngineEvent(message, reinterpret_cast<WPARAM>(&local), 0));
    EXPECT_TRUE(m_channel.HandleEngineEvent(message, 0, 0));
  }
  EXPECT_EQ(Windows::closeMicCount, 0);
  EXPECT_TRUE(
      Logged("[ERROR]:voice_channel.cpp ignored a voice event that the engine did not send."));
  EXPECT_FALSE(m_channel.HandleEngineEvent(WM_VOICE_CLOSE_MIC, 0, 0));  // 0x609 is not an event
}

TEST(VoiceEventHandler, DropsEventsWithoutReceiver) {
  CAGEngineEventHandler handler;
  handler.onError(1, "x");
  handler.onJoinChannelSuccess("1", 2, 3);
  handler.onUserOffline(2, agora::rtc::USER_OFFLINE_QUIT);
  handler.onTranscodingUpdated();
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, EID_BASE, EID_BASE + 0xFF, PM_REMOVE));

  // With a receiver each record is posted once and can be claimed once.
  HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
  handler.SetReceiver(window);
  handler.onFirstRemoteVideoDecoded(9, 160, 120, 55);
  ASSERT_TRUE(PeekMessageW(&msg, window, EID_FIRST_REMOTE_VIDEO_DECODED,
                           EID_FIRST_REMOTE_VIDEO_DECODED, PM_REMOVE));
  EXPECT_EQ(msg.lParam, 0);
  EXPECT_TRUE(handler.ClaimRecord(reinterpret_cast<void*>(msg.wParam)));
  EXPECT_FALSE(handler.ClaimRecord(reinterpret_cast<void*>(msg.wParam)));
  auto* record = reinterpret_cast<RemoteFrameRecord*>(msg.wParam);
  EXPECT_EQ(record->uid, 9u);
  EXPECT_EQ(record->width, 160);
  EXPECT_EQ(record->height, 120);
  EXPECT_EQ(record->elapsed, 55);
  delete record;

  // A receiver that is gone: the post fails and the record is not left behind as claimable.
  DestroyWindow(window);
  handler.onUserOffline(3, agora::rtc::USER_OFFLINE_DROPPED);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, EID_BASE, EID_BASE + 0xFF, PM_REMOVE));
}

TEST(VoiceEngineLogFile, PathBesideTheExecutable) {
  struct Case {
    std::string module;
    std::string expected;
  };
  const Case cases[] = {
      {"C:\\Games\\Client\\zarvik.exe", "C:/Games/Client/AgoraSDK.log"},
      {"Z:\\zarvik.exe", "Z:/AgoraSDK.log"},
      {"zarvik.exe", "AgoraSDK.log"},
      {"\\\\server\\share\\z.exe", "//server/share/AgoraSDK.log"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.module);
    EXPECT_EQ(EngineLogFileForModule(c.module), c.expected);
  }
  // A folder name outside ASCII comes out as UTF-8.
  std::string ansi = zarvik::WideToAnsi(L"C:\\Spiele\\Gr\u00F6\u00DFe\\z.exe");
  if (zarvik::AnsiToWide(ansi) == L"C:\\Spiele\\Gr\u00F6\u00DFe\\z.exe") {
    EXPECT_EQ(EngineLogFileForModule(ansi),
              "C:/Spiele/Gr\xC3\xB6\xC3\x9F"
              "e/AgoraSDK.log");
  }
}

TEST(VoiceEngineLogFile, EngineWritesBesideTheExecutable) {
  SetUpVoiceEngine();  // again: the holder and engine stay the same
  char module[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, module, MAX_PATH);
  std::string folder(module, strrchr(module, '\\') + 1);
  std::string log = ReadFileBytes(zarvik::AnsiToWide(folder + "AgoraSDK.log"));
  std::string forward = EngineLogFileForModule(module);
  EXPECT_NE(forward.find('/'), std::string::npos);
  EXPECT_NE(log.find("convert path " + forward), std::string::npos);
  EXPECT_NE(log.find("setChannelProfile 1"), std::string::npos);
  EXPECT_EQ(GetHolder().applicationId, kVoiceApplicationId);
  EXPECT_TRUE(GetHolder().videoEnabled);
}

}  // namespace
