// The receive side's jitter buffer for one remote user: packets come in numbered (one per 20 ms
// frame) from the network thread in any order, and the playout asks it each 20 ms what to play.
//
// - Playout starts once `target` frames are waiting beyond the first (one at least), so that a
//   packet that comes up to target frames late is still in time.
// - A missing frame with later frames waiting is lost: its audio comes from the next packet's
//   in-band FEC when that packet is there, else from the decoder's concealment.
// - A missing frame with nothing waiting is an underrun: concealed without moving on (the frame
//   may still come). After kMaxConcealed concealed frames in a row the user is taken as silent
//   (muted, left, or the network stalled): playout stops and waits for target frames again.
// - A packet for a frame already played is late: dropped, counted, and the target grows by one
//   frame (up to kMaxTarget); ten seconds without a late packet take one frame off again.
// - Clock drift: when more than target + kSlack frames wait for kDriftTicks playouts in a row
//   (the sender's clock is faster), the oldest waiting frame is dropped. A slower sender gives
//   underruns, which conceal one frame each. Either way the delay stays bounded.
#pragma once

#include <stdint.h>

#include <map>
#include <string>

namespace agora_standin {

class JitterBuffer {
 public:
  static constexpr int kMinTarget = 1;
  static constexpr int kMaxTarget = 6;
  static constexpr int kSlack = 3;
  static constexpr int kDriftTicks = 25;
  static constexpr int kMaxConcealed = 10;
  static constexpr int kQuietTicksToShrink = 500;
  static constexpr size_t kMaxPackets = 50;  // one second; older ones go first beyond it

  enum class Action {
    kSilence,    // nothing to play
    kDecode,     // decode `packet`
    kDecodeFec,  // rebuild the lost frame from `packet`'s in-band FEC (the next frame's packet)
    kConceal,    // the decoder's loss concealment
  };

  struct Stats {
    unsigned played = 0;     // frames decoded from their own packet
    unsigned fec = 0;        // frames rebuilt from FEC
    unsigned concealed = 0;  // frames concealed (lost or underrun)
    unsigned late = 0;
    unsigned duplicate = 0;
    unsigned driftDropped = 0;  // frames dropped to bound the delay
    unsigned overflow = 0;      // packets dropped beyond kMaxPackets
  };

  // A packet from the network.
  void Put(uint32_t sequence, std::string packet);
  // What to play for the next 20 ms.
  Action Next(std::string& packet);

  // Frames waiting from the next one to play to the newest (0 when not playing).
  int Depth() const;
  int target() const { return m_target; }
  bool playing() const { return m_playing; }
  const Stats& stats() const { return m_stats; }

 private:
  static bool Before(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b) < 0; }
  void Stop();

  std::map<uint32_t, std::string, bool (*)(uint32_t, uint32_t)> m_packets{&JitterBuffer::Before};
  bool m_playing = false;
  bool m_played = false;  // m_next is meaningful
  uint32_t m_next = 0;
  int m_target = kMinTarget;
  int m_concealedRun = 0;
  int m_deepTicks = 0;
  int m_quietTicks = 0;
  int m_stretch = 0;  // frames to conceal in place to grow the delay to a raised target
  Stats m_stats;
};

}  // namespace agora_standin
