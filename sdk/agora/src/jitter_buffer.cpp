#include "jitter_buffer.h"

namespace agora_standin {

void JitterBuffer::Put(uint32_t sequence, std::string packet) {
  if (m_played && Before(sequence, m_next)) {
    // Far behind means the sender started counting again (it rejoined): start over.
    if (static_cast<uint32_t>(m_next - sequence) > 1000) {
      Stop();
      m_packets.clear();
      m_played = false;
    } else {
      ++m_stats.late;
      if (m_playing && m_target < kMaxTarget) {
        ++m_target;
        ++m_stretch;
      }
      m_quietTicks = 0;
      return;
    }
  }
  if (m_played && static_cast<uint32_t>(sequence - m_next) > 1000) {
    // Far ahead: likewise a new count.
    Stop();
    m_packets.clear();
    m_played = false;
  }
  if (!m_packets.emplace(sequence, std::move(packet)).second) {
    ++m_stats.duplicate;
    return;
  }
  while (m_packets.size() > kMaxPackets) {
    ++m_stats.overflow;
    auto oldest = m_packets.begin();
    if (m_playing && !Before(oldest->first, m_next))
      m_next = oldest->first + 1;
    m_packets.erase(oldest);
  }
}

int JitterBuffer::Depth() const {
  if (!m_playing || m_packets.empty())
    return 0;
  uint32_t newest = m_packets.rbegin()->first;
  return Before(newest, m_next) ? 0 : static_cast<int>(newest - m_next) + 1;
}

void JitterBuffer::Stop() {
  m_playing = false;
  m_concealedRun = 0;
  m_deepTicks = 0;
  m_stretch = 0;
}

JitterBuffer::Action JitterBuffer::Next(std::string& packet) {
  if (!m_playing) {
    if (m_packets.empty())
      return Action::kSilence;
    uint32_t first = m_packets.begin()->first;
    uint32_t newest = m_packets.rbegin()->first;
    if (static_cast<int>(newest - first) < m_target)
      return Action::kSilence;
    m_playing = true;
    m_played = true;
    m_next = first;
  }

  if (++m_quietTicks >= kQuietTicksToShrink) {
    m_quietTicks = 0;
    if (m_target > kMinTarget)
      --m_target;
  }

  // Bound the delay: a buffer that stays deeper than needed loses its oldest frame.
  if (Depth() > m_target + kSlack) {
    if (++m_deepTicks >= kDriftTicks) {
      m_deepTicks = 0;
      auto oldest = m_packets.find(m_next);
      if (oldest != m_packets.end())
        m_packets.erase(oldest);
      ++m_next;
      ++m_stats.driftDropped;
    }
  } else {
    m_deepTicks = 0;
  }

  if (m_stretch > 0) {
    --m_stretch;
    ++m_stats.concealed;
    return Action::kConceal;
  }

  auto it = m_packets.find(m_next);
  if (it != m_packets.end()) {
    packet = std::move(it->second);
    m_packets.erase(it);
    ++m_next;
    m_concealedRun = 0;
    ++m_stats.played;
    return Action::kDecode;
  }
  if (!m_packets.empty() && Before(m_next, m_packets.rbegin()->first)) {
    // Lost: later frames are here already.
    ++m_next;
    m_concealedRun = 0;
    auto following = m_packets.find(m_next);
    if (following != m_packets.end()) {
      packet = following->second;
      ++m_stats.fec;
      return Action::kDecodeFec;
    }
    ++m_stats.concealed;
    return Action::kConceal;
  }
  // Underrun: the frame may still come.
  if (++m_concealedRun > kMaxConcealed) {
    Stop();
    return Action::kSilence;
  }
  ++m_stats.concealed;
  return Action::kConceal;
}

}  // namespace agora_standin
