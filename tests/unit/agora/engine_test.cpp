// The engine through its public interface: two engines in this process join channels through a
// channel server that the test runs, see each other, exchange video and leave.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h
#include <mmsystem.h>

#include <stdlib.h>

#include <memory>
#include <string>

#include "IAgoraRtcEngine.h"
#include "channel_protocol.h"
#include "channel_server.h"
#include "raw_member.h"
#include "support/temp_dir.h"
#include "support/voice_events.h"

namespace {

using namespace agora::rtc;
using zarvik_test::RecordingEventHandler;

const char kAppId[] = "9f3e6a2d5c8b47e1a0d4f7c2b6e9a153";

// One engine with its own event recorder, released at the end.
struct Engine {
  explicit Engine(uint16_t serverPort, bool initialize = true) {
    engine = createAgoraRtcEngine();
    if (!engine || !initialize)
      return;
    RtcEngineContext context;
    context.eventHandler = &events;
    context.appId = kAppId;
    initialized = engine->initialize(context);
    AParameter parameter(engine);
    std::string server = "127.0.0.1:" + std::to_string(serverPort);
    parameter->setString("rtc.channel_server", server.c_str());
    engine->enableVideo();
    engine->setChannelProfile(CHANNEL_PROFILE_LIVE_BROADCASTING);
    engine->setClientRole(CLIENT_ROLE_BROADCASTER);
  }
  ~Engine() {
    if (engine)
      engine->release(true);
  }
  // The uid the engine joined with, from its join event.
  uid_t Uid(const char* event = "join ") {
    std::string line = events.WaitFor(event);
    size_t at = line.find("uid=");
    return at == std::string::npos
               ? 0
               : static_cast<uid_t>(strtoul(line.c_str() + at + 4, nullptr, 10));
  }

  RecordingEventHandler events;
  IRtcEngine* engine = nullptr;
  int initialized = -1;
};

class EngineTest : public testing::Test {
 protected:
  void SetUp() override {
    m_server.SetLogSink([](const std::string&) {});
    ASSERT_TRUE(m_server.Start("127.0.0.1", 0));
    m_port = m_server.port();
  }
  channel_server::ChannelServer m_server;
  uint16_t m_port = 0;
};

// A visible top-level window to render into.
class VideoWindow {
 public:
  VideoWindow() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"AgoraTestVideoWindow";
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    RegisterClassW(&wc);
    m_window = CreateWindowExW(0, wc.lpszClassName, L"video", WS_POPUP | WS_VISIBLE, 10, 10, 480,
                               360, nullptr, nullptr, wc.hInstance, nullptr);
  }
  ~VideoWindow() { DestroyWindow(m_window); }
  HWND get() const { return m_window; }
  COLORREF Pixel(int x, int y) {
    HDC dc = GetDC(m_window);
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(m_window, dc);
    return c;
  }

 private:
  HWND m_window;
};

TEST_F(EngineTest, TwoEnginesSeeEachOtherAndTheirVideo) {
  Engine a(m_port), b(m_port);
  ASSERT_TRUE(a.engine && b.engine);
  ASSERT_EQ(a.initialized, 0);
  ASSERT_EQ(a.engine->joinChannel("", "12345", nullptr, 1001), 0);
  ASSERT_EQ(b.engine->joinChannel("token-1", "12345", nullptr, 0), 0);  // the server picks a uid
  EXPECT_EQ(a.events.WaitFor("join "), "join 12345 uid=1001 elapsed-ok");
  uid_t uidB = b.Uid();
  ASSERT_NE(uidB, 0u);
  ASSERT_NE(uidB, 1001u);

  EXPECT_NE(a.events.WaitFor("user-joined " + std::to_string(uidB)), "");
  EXPECT_NE(b.events.WaitFor("user-joined 1001"), "");
  EXPECT_EQ(a.events.WaitFor("first-local"), "first-local 160x120");
  EXPECT_EQ(a.events.WaitFor("first-remote"), "first-remote " + std::to_string(uidB) + " 160x120");
  EXPECT_EQ(b.events.WaitFor("first-remote"), "first-remote 1001 160x120");

  // B's frames are drawn into A's window from the engine's thread: the window soon shows
  // something other than its white background.
  VideoWindow window;
  VideoCanvas canvas(window.get(), RENDER_MODE_FIT, "", uidB);
  ASSERT_EQ(a.engine->setupRemoteVideo(canvas), 0);
  COLORREF centre = window.Pixel(40, 40);
  for (int i = 0; i < 100 && centre == RGB(255, 255, 255); ++i) {
    Sleep(50);
    centre = window.Pixel(40, 40);
  }
  EXPECT_NE(centre, RGB(255, 255, 255));
  EXPECT_NE(centre, CLR_INVALID);
  EXPECT_EQ(m_server.Users("12345").size(), 2u);

  // B leaves: A hears that B quit; B's own events stop except the leave itself.
  ASSERT_EQ(b.engine->leaveChannel(), 0);
  EXPECT_EQ(a.events.WaitFor("user-offline"), "user-offline " + std::to_string(uidB) + " reason=0");
  EXPECT_EQ(b.events.WaitFor("leave"), "leave");
  EXPECT_EQ(m_server.Users("12345"), std::vector<uint32_t>{1001});
  EXPECT_FALSE(b.events.Has("user-offline"));
}

TEST_F(EngineTest, JoinRequestsTheEngineRefuses) {
  Engine idle(m_port, /*initialize=*/false);
  EXPECT_EQ(idle.engine->joinChannel("", "12345", nullptr, 1), -agora::ERR_NOT_INITIALIZED);

  Engine a(m_port);
  EXPECT_EQ(a.engine->joinChannel("bad key", "12345", nullptr, 1), -agora::ERR_INVALID_ARGUMENT);
  EXPECT_EQ(a.engine->joinChannel("", "", nullptr, 1), -agora::ERR_INVALID_ARGUMENT);
  EXPECT_EQ(a.engine->joinChannel("", "12345", nullptr, 1), 0);
  // Joining again while in a channel is refused until the engine has left.
  EXPECT_EQ(a.engine->joinChannel("", "12345", nullptr, 1), -agora::ERR_JOIN_CHANNEL_REJECTED);
  EXPECT_NE(a.events.WaitFor("join 12345 uid=1"), "");
  EXPECT_EQ(a.engine->leaveChannel(), 0);
  EXPECT_EQ(a.engine->leaveChannel(), 0);  // leaving twice is harmless
  EXPECT_EQ(a.engine->joinChannel("", "12345", nullptr, 1), 0);
  EXPECT_EQ(a.Uid("join "), 1u);
  // No events were recorded from refused requests.
  EXPECT_FALSE(a.events.Has("error"));

  RtcEngineContext context;
  context.appId = "not-an-app-id";
  Engine other(m_port, false);
  EXPECT_EQ(other.engine->initialize(context), -agora::ERR_INVALID_APP_ID);
}

TEST_F(EngineTest, TheServerRefusesAUidThatIsTaken) {
  Engine a(m_port), b(m_port);
  ASSERT_EQ(a.engine->joinChannel("", "777", nullptr, 42), 0);
  ASSERT_NE(a.events.WaitFor("join 777"), "");
  ASSERT_EQ(b.engine->joinChannel("", "777", nullptr, 42), 0);
  EXPECT_EQ(b.events.WaitFor("error"), "error 17 uid 42 is already in channel 777");
  // The refused session is over: the engine accepts a new request at once.
  EXPECT_EQ(b.engine->joinChannel("", "777", nullptr, 43), 0);
  EXPECT_NE(b.events.WaitFor("join 777 uid=43"), "");
}

TEST_F(EngineTest, RejoinsAfterTheServerComesBack) {
  Engine a(m_port), b(m_port);
  ASSERT_EQ(a.engine->joinChannel("", "55", nullptr, 5), 0);
  ASSERT_EQ(b.engine->joinChannel("", "55", nullptr, 6), 0);
  ASSERT_NE(a.events.WaitFor("user-joined 6"), "");
  // Each member's messages go out on its own writer: A hearing of B does not mean B has its own
  // answer yet, and what is still queued when the server stops is dropped.
  ASSERT_NE(b.events.WaitFor("join 55 uid=6"), "");

  m_server.Stop();
  EXPECT_NE(a.events.WaitFor("interrupted"), "");
  EXPECT_NE(b.events.WaitFor("interrupted"), "");
  ASSERT_TRUE(m_server.Start("127.0.0.1", m_port));
  EXPECT_EQ(a.events.WaitFor("rejoin"), "rejoin 55 uid=5");
  EXPECT_EQ(b.events.WaitFor("rejoin"), "rejoin 55 uid=6");
  // Both came back, so neither was reported offline, and B is not announced twice.
  Sleep(300);
  EXPECT_FALSE(a.events.Has("user-offline"));
  int joins = 0;
  for (auto& line : a.events.Lines())
    joins += line == "user-joined 6";
  EXPECT_EQ(joins, 1);
}

TEST_F(EngineTest, ReportsAnUnreachableServerAndJoinsWhenItAppears) {
  uint16_t port = m_port;
  m_server.Stop();
  Engine a(port);
  ASSERT_EQ(a.engine->joinChannel("", "9", nullptr, 9), 0);
  std::string error = a.events.WaitFor("error");
  EXPECT_EQ(error, "error 14 cannot reach the channel server at 127.0.0.1:" + std::to_string(port) +
                       ", still trying");
  ASSERT_TRUE(m_server.Start("127.0.0.1", port));
  EXPECT_EQ(a.events.WaitFor("join "), "join 9 uid=9 elapsed-ok");
}

TEST_F(EngineTest, AudienceIsInvisibleUntilItBroadcasts) {
  Engine host(m_port), viewer(m_port);
  viewer.engine->setClientRole(CLIENT_ROLE_AUDIENCE);
  ASSERT_EQ(host.engine->joinChannel("", "300", nullptr, 1), 0);
  ASSERT_EQ(viewer.engine->joinChannel("", "300", nullptr, 2), 0);
  // The audience sees the host and its video; the host does not see the audience.
  EXPECT_NE(viewer.events.WaitFor("first-remote 1"), "");
  EXPECT_FALSE(host.events.Has("user-joined"));

  viewer.engine->setClientRole(CLIENT_ROLE_BROADCASTER);
  EXPECT_NE(host.events.WaitFor("user-joined 2"), "");
  EXPECT_NE(viewer.events.WaitFor("role 2->1"), "");
  viewer.engine->setClientRole(CLIENT_ROLE_AUDIENCE);
  EXPECT_EQ(host.events.WaitFor("user-offline"), "user-offline 2 reason=2");
}

TEST_F(EngineTest, PublishingEventsNeedAChannel) {
  Engine a(m_port);
  EXPECT_EQ(a.engine->addPublishStreamUrl("rtmp://127.0.0.1/live/1", false), -agora::ERR_NOT_READY);
  ASSERT_EQ(a.engine->joinChannel("", "1", nullptr, 1), 0);
  ASSERT_NE(a.events.WaitFor("join "), "");
  EXPECT_EQ(a.engine->addPublishStreamUrl("http://x", false), -agora::ERR_INVALID_ARGUMENT);
  EXPECT_EQ(a.engine->addPublishStreamUrl("rtmp://127.0.0.1/live/1", false), 0);
  EXPECT_EQ(a.events.WaitFor("published"), "published rtmp://127.0.0.1/live/1 0");
  EXPECT_EQ(a.engine->setLiveTranscoding(LiveTranscoding()), 0);
  EXPECT_NE(a.events.WaitFor("transcoding"), "");
  EXPECT_EQ(a.engine->removePublishStreamUrl("rtmp://127.0.0.1/live/1"), 0);
  EXPECT_EQ(a.events.WaitFor("unpublished"), "unpublished rtmp://127.0.0.1/live/1");
  EXPECT_EQ(a.engine->removePublishStreamUrl("rtmp://127.0.0.1/live/1"),
            -agora::ERR_INVALID_ARGUMENT);
}

// The engine behind a channel server of the test's own, which sends forged frames: the 13-byte
// message of the first send wraps a 32-bit size_t to 4 bytes and would make drawing read ~4 GiB.
TEST(EngineFrames, RemoteFramesThatBreakTheFrameRuleAreIgnoredAndCounted) {
  using namespace channel_protocol;
  zarvik_test::TempDir dir;
  WSADATA wsa;
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
  struct Cleanup {
    ~Cleanup() { WSACleanup(); }
  } cleanup;
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ASSERT_EQ(listen(listener, 1), 0);
  int size = sizeof(address);
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);

  Engine a(ntohs(address.sin_port));
  std::string path;
  for (wchar_t c : dir.File(L"AgoraSDK.log"))
    path.push_back(c == L'\\' ? '/' : static_cast<char>(c));
  ASSERT_EQ(RtcEngineParameters(a.engine).setLogFile(path.c_str()), 0);
  VideoWindow window;
  ASSERT_EQ(a.engine->joinChannel("", "31", nullptr, 1), 0);

  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(listener, &readable);
  timeval timeout = {10, 0};
  ASSERT_EQ(select(0, &readable, nullptr, nullptr, &timeout), 1);
  zarvik_test::RawMember server(accept(listener, nullptr, nullptr));
  closesocket(listener);
  std::string payload;
  ASSERT_TRUE(server.WaitFor(kJoin, payload, 5000));
  ASSERT_TRUE(server.Send(Writer(kJoined).U32(1).Finish()));
  ASSERT_TRUE(server.Send(Writer(kUserJoined).U32(7).Finish()));
  ASSERT_NE(a.events.WaitFor("user-joined 7"), "");
  // Frames of user 7 are drawn into the window as they arrive.
  VideoCanvas canvas(window.get(), RENDER_MODE_FIT, "", 7);
  ASSERT_EQ(a.engine->setupRemoteVideo(canvas), 0);

  ASSERT_TRUE(server.Send(std::string("\x0d\x00\x00\x00\x44\x07\x00\x00\x00\x71\x59\x3d\xf4" "ABCD",
                                      17)));
  auto frame = [](uint16_t width, uint16_t height, size_t bytes) {
    std::string pixels(bytes, '\x40');
    return Writer(kRemoteFrame).U32(7).U16(width).U16(height).Bytes(pixels.data(), bytes).Finish();
  };
  ASSERT_TRUE(server.Send(frame(65535, 21846, 131072)));
  ASSERT_TRUE(server.Send(frame(43690, 32768, 0)));
  ASSERT_TRUE(server.Send(frame(160, 120, 160 * 120 * 3 + 1)));
  ASSERT_TRUE(server.Send(frame(160, 120, 160 * 120 * 3)));

  // The first frame the engine decodes is the good one; the window shows it.
  EXPECT_EQ(a.events.WaitFor("first-remote"), "first-remote 7 160x120");
  COLORREF centre = window.Pixel(40, 40);
  for (int i = 0; i < 100 && centre != RGB(0x40, 0x40, 0x40); ++i) {
    Sleep(50);
    centre = window.Pixel(40, 40);
  }
  EXPECT_EQ(centre, RGB(0x40, 0x40, 0x40));
  a.engine->leaveChannel();

  std::string log = zarvik_test::ReadFileBytes(dir.File(L"AgoraSDK.log"));
  EXPECT_NE(log.find("refused video frame of user 7, 22897x62525 with 4 bytes: larger than "
                     "1280x720 (1 refused so far)"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("refused video frame of user 7, 65535x21846 with 131072 bytes: larger than "
                     "1280x720 (2 refused so far)"),
            std::string::npos);
  EXPECT_NE(log.find("refused video frame of user 7, 160x120 with 57601 bytes: pixel bytes do "
                     "not match the size (4 refused so far)"),
            std::string::npos);
  EXPECT_EQ(log.find("(3 refused so far)"), std::string::npos);  // only powers of two are logged
}

// What the system broadcasts to every top-level window when a device comes or goes.
void AnnounceDeviceChange() {
  DWORD_PTR answer = 0;
  SendMessageTimeoutW(HWND_BROADCAST, WM_DEVICECHANGE, 0x0007 /* DBT_DEVNODES_CHANGED */, 0,
                      SMTO_ABORTIFHUNG, 5000, &answer);
}

TEST(EngineDevices, RecordingDeviceCountFollowsTheOverride) {
  IRtcEngine* engine = createAgoraRtcEngine();
  ASSERT_NE(engine, nullptr);
  IAudioDeviceManager* manager = nullptr;
  ASSERT_EQ(engine->queryInterface(agora::AGORA_IID_AUDIO_DEVICE_MANAGER, (void**)&manager), 0);
  ASSERT_NE(manager, nullptr);
  for (int count : {0, 1, 3}) {
    SCOPED_TRACE(count);
    std::string setting = "AGORA_RTC_RECORDING_DEVICES=" + std::to_string(count);
    _putenv(setting.c_str());
    AnnounceDeviceChange();  // the engine keeps its list until the system says it changed
    IAudioDeviceCollection* devices = manager->enumerateRecordingDevices();
    ASSERT_NE(devices, nullptr);
    EXPECT_EQ(devices->getCount(), count);
    char name[MAX_DEVICE_ID_LENGTH], id[MAX_DEVICE_ID_LENGTH];
    EXPECT_EQ(devices->getDevice(count, name, id), -agora::ERR_INVALID_ARGUMENT);
    if (count > 0) {
      EXPECT_EQ(devices->getDevice(0, name, id), 0);
      EXPECT_STRNE(name, "");
      EXPECT_EQ(devices->setDevice(id), 0);
    }
    devices->release();
  }
  // Without the override (or with a value that is not a count) the system's wave-in devices count.
  _putenv("AGORA_RTC_RECORDING_DEVICES=lots");
  AnnounceDeviceChange();
  IAudioDeviceCollection* devices = manager->enumerateRecordingDevices();
  EXPECT_EQ(devices->getCount(), static_cast<int>(waveInGetNumDevs()));
  devices->release();
  _putenv("AGORA_RTC_RECORDING_DEVICES=");
  manager->release();
  EXPECT_EQ(engine->queryInterface(agora::AGORA_IID_MEDIA_ENGINE, (void**)&manager),
            -agora::ERR_NOT_SUPPORTED);
  EXPECT_EQ(manager, nullptr);
  engine->release(true);
}

TEST(EngineParameters, LogFileAndMuteTexts) {
  zarvik_test::TempDir dir;
  IRtcEngine* engine = createAgoraRtcEngine();
  ASSERT_NE(engine, nullptr);
  engine->enableAudio();  // written before the log file is known, kept for it
  RtcEngineParameters parameters(engine);
  std::string path;
  for (wchar_t c : dir.File(L"AgoraSDK.log"))
    path.push_back(c == L'\\' ? '/' : static_cast<char>(c));
  ASSERT_EQ(parameters.setLogFile(path.c_str()), 0);

  AParameter parameter(engine);
  agora::util::AString stored;
  ASSERT_EQ(parameter->getString("rtc.log_file", stored), 0);
  std::string expected = path;
  for (char& c : expected)
    c = c == '/' ? '\\' : c;
  EXPECT_EQ(std::string(stored->c_str()), expected);

  EXPECT_EQ(parameters.muteLocalVideoStream(false), 0);
  EXPECT_EQ(parameters.muteLocalAudioStream(true), 0);
  bool value = true;
  EXPECT_EQ(parameter->getBool("rtc.video.mute_me", value), 0);
  EXPECT_FALSE(value);
  EXPECT_EQ(parameter->getBool("che.video.local.send", value), 0);
  EXPECT_TRUE(value);
  EXPECT_EQ(parameter->getBool("che.audio.mute_me", value), 0);
  EXPECT_TRUE(value);
  EXPECT_EQ(parameter->setInt("che.video.render.type", 8), 0);
  int renderType = 0;
  EXPECT_EQ(parameter->getInt("che.video.render.type", renderType), 0);
  EXPECT_EQ(renderType, 8);
  EXPECT_EQ(parameter->setParameters("{not json"), -agora::ERR_INVALID_ARGUMENT);
  parameter.reset();
  engine->release(true);

  std::string log = zarvik_test::ReadFileBytes(dir.File(L"AgoraSDK.log"));
  EXPECT_NE(log.find("enableAudio"), std::string::npos);
  EXPECT_NE(log.find("convert path " + path), std::string::npos);
  EXPECT_NE(log.find("parameter che.video.render.type = 8"), std::string::npos);

  // Without an engine the wrapper has no parameter interface.
  RtcEngineParameters none(static_cast<IRtcEngine*>(nullptr));
  EXPECT_EQ(none.setLogFile("C:/x.log"), -agora::ERR_NOT_INITIALIZED);
  EXPECT_EQ(none.muteLocalVideoStream(false), -agora::ERR_NOT_INITIALIZED);
  EXPECT_EQ(none.muteLocalAudioStream(false), -agora::ERR_NOT_INITIALIZED);
}

}  // namespace
