// The engine's video: remote frames from the channel client go to the view set for their user,
// and the video thread of a session sends the local frames while video is on.
#include "channel_protocol.h"
#include "channel_session.h"
#include "rtc_engine.h"
#include "video_frames.h"

namespace agora_standin {

using namespace agora::rtc;
namespace proto = channel_protocol;

namespace {

constexpr DWORD kFrameMs = 100;

}  // namespace

void RtcEngine::OnRemoteFrame(const std::shared_ptr<Session>& session,
                              uid_t uid,
                              int width,
                              int height,
                              std::string pixels) {
  if (!session->remoteUsers.count(uid))
    return;  // frames of users that are not (or no longer) in the channel
  if (session->decoded.insert(uid).second) {
    int elapsed = session->Elapsed();
    m_log.Write("first video frame of user " + std::to_string(uid) + " decoded, " +
                std::to_string(width) + "x" + std::to_string(height));
    PostEvent(session->id, [uid, width, height, elapsed](IRtcEngineEventHandler* h) {
      h->onFirstRemoteVideoDecoded(uid, width, height, elapsed);
    });
  }
  HWND view = nullptr;
  int mode = RENDER_MODE_FIT;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_session != session)
      return;
    auto it = m_remoteViews.find(uid);
    if (it != m_remoteViews.end()) {
      view = it->second.first;
      mode = it->second.second;
    }
    RemoteFrame& last = m_lastFrames[uid];
    last.width = width;
    last.height = height;
    last.pixels = pixels;
  }
  if (view)
    DrawFrame(view, width, height, pixels, mode);
}

void RtcEngine::VideoLoop(std::shared_ptr<Session> session) {
  std::unique_ptr<FramePainter> painter;
  uid_t painted = 0;
  bool firstSent = false;
  unsigned n = 0;
  while (session->Wait(kFrameMs)) {
    if (!session->joined || !LocalVideoSending())
      continue;
    uid_t uid = session->uid;
    if (!painter || painted != uid) {
      painter.reset(new FramePainter(uid));
      painted = uid;
    }
    std::string pixels = painter->Paint(n++);
    bool sent = SendToServer(session, proto::Writer(proto::kVideoFrame)
                                          .U16(kFrameWidth)
                                          .U16(kFrameHeight)
                                          .Bytes(pixels.data(), pixels.size())
                                          .Finish());
    if (sent && !firstSent) {
      firstSent = true;
      int elapsed = session->Elapsed();
      m_log.Write("first local video frame sent");
      PostEvent(session->id, [elapsed](IRtcEngineEventHandler* h) {
        h->onFirstLocalVideoFrame(kFrameWidth, kFrameHeight, elapsed);
      });
    }
  }
}

}  // namespace agora_standin
