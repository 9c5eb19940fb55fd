#include "audio_codec.h"

#include <opus/opus.h>
#include <string.h>

namespace agora_standin {

AudioProfileValues ProfileValues(int audioProfile, int scenario, int channelProfile) {
  (void)scenario;  // the scenario tunes the real engine's audio processing, not the codec
  AudioProfileValues v;
  switch (audioProfile) {
    case 1:  // speech standard
      v = {32000, 1, 18000, false};
      break;
    case 2:  // music standard
      v = {48000, 1, 64000, true};
      break;
    case 3:  // music standard, stereo
      v = {48000, 2, 80000, true};
      break;
    case 4:  // music, high quality
      v = {48000, 1, 96000, true};
      break;
    case 5:  // music, high quality, stereo
      v = {48000, 2, 128000, true};
      break;
    default:  // the default: speech in a communication channel, music in the others
      v = channelProfile == 0 ? AudioProfileValues{32000, 1, 18000, false}
                              : AudioProfileValues{48000, 1, 64000, true};
      break;
  }
  return v;
}

std::string ProfileText(const AudioProfileValues& v) {
  return std::to_string(v.sampleRate / 1000) + " kHz " + (v.channels == 2 ? "stereo" : "mono") +
         ", " + std::to_string(v.bitrate / 1000) + " kbps, " + (v.music ? "music" : "speech") +
         " coding";
}

PacketProblem CheckOpusPacket(const std::string& packet) {
  if (packet.empty())
    return PacketProblem::kMalformed;
  const auto* data = reinterpret_cast<const unsigned char*>(packet.data());
  const opus_int32 size = static_cast<opus_int32>(packet.size());
  // opus_packet_parse walks every frame length in the packet, which is what a decode trusts.
  unsigned char toc = 0;
  const unsigned char* frames[48];
  opus_int16 sizes[48];
  if (opus_packet_parse(data, size, &toc, frames, sizes, nullptr) <= 0)
    return PacketProblem::kMalformed;
  if (opus_packet_get_nb_samples(data, size, kAudioRate) != kAudioFrameSamples)
    return PacketProblem::kWrongDuration;
  return PacketProblem::kNone;
}

AudioEncoder::~AudioEncoder() {
  if (m_encoder)
    opus_encoder_destroy(m_encoder);
}

bool AudioEncoder::Configure(const AudioProfileValues& values, std::string& error) {
  if (m_encoder) {
    opus_encoder_destroy(m_encoder);
    m_encoder = nullptr;
  }
  int rc = 0;
  m_encoder =
      opus_encoder_create(kAudioRate, values.channels,
                          values.music ? OPUS_APPLICATION_AUDIO : OPUS_APPLICATION_VOIP, &rc);
  if (!m_encoder || rc != OPUS_OK) {
    error = opus_strerror(rc);
    m_encoder = nullptr;
    return false;
  }
  opus_encoder_ctl(m_encoder, OPUS_SET_BITRATE(values.bitrate));
  // Opus has no 32 kHz mode: a 32 kHz profile is coded at 48 kHz with its band limited to
  // super-wideband, the nearest Opus offers.
  opus_encoder_ctl(
      m_encoder, OPUS_SET_MAX_BANDWIDTH(values.sampleRate >= 48000 ? OPUS_BANDWIDTH_FULLBAND
                                                                   : OPUS_BANDWIDTH_SUPERWIDEBAND));
  opus_encoder_ctl(m_encoder,
                   OPUS_SET_SIGNAL(values.music ? OPUS_SIGNAL_MUSIC : OPUS_SIGNAL_VOICE));
  // In-band FEC for the receivers' jitter buffers, tuned for about 10% loss.
  opus_encoder_ctl(m_encoder, OPUS_SET_INBAND_FEC(1));
  opus_encoder_ctl(m_encoder, OPUS_SET_PACKET_LOSS_PERC(10));
  m_values = values;
  return true;
}

bool AudioEncoder::Encode(const int16_t* pcm, std::string& packet) {
  if (!m_encoder)
    return false;
  unsigned char out[1275];
  opus_int32 n = opus_encode(m_encoder, pcm, kAudioFrameSamples, out, sizeof(out));
  if (n <= 0)
    return false;
  packet.assign(reinterpret_cast<const char*>(out), static_cast<size_t>(n));
  return true;
}

AudioDecoder::AudioDecoder() {
  int rc = 0;
  m_decoder = opus_decoder_create(kAudioRate, kPlaybackChannels, &rc);
  if (rc != OPUS_OK)
    m_decoder = nullptr;
}

AudioDecoder::~AudioDecoder() {
  if (m_decoder)
    opus_decoder_destroy(m_decoder);
}

namespace {

bool Finish(int decoded, int16_t* pcm) {
  if (decoded == kAudioFrameSamples)
    return true;
  memset(pcm, 0, sizeof(int16_t) * kAudioFrameSamples * kPlaybackChannels);
  return false;
}

}  // namespace

bool AudioDecoder::Decode(const std::string& packet, int16_t* pcm) {
  if (!m_decoder || packet.empty())
    return Finish(-1, pcm);
  return Finish(opus_decode(m_decoder, reinterpret_cast<const unsigned char*>(packet.data()),
                            static_cast<opus_int32>(packet.size()), pcm, kAudioFrameSamples, 0),
                pcm);
}

bool AudioDecoder::DecodeFec(const std::string& nextPacket, int16_t* pcm) {
  if (!m_decoder || nextPacket.empty())
    return Finish(-1, pcm);
  return Finish(opus_decode(m_decoder, reinterpret_cast<const unsigned char*>(nextPacket.data()),
                            static_cast<opus_int32>(nextPacket.size()), pcm, kAudioFrameSamples, 1),
                pcm);
}

bool AudioDecoder::Conceal(int16_t* pcm) {
  if (!m_decoder)
    return Finish(-1, pcm);
  return Finish(opus_decode(m_decoder, nullptr, 0, pcm, kAudioFrameSamples, 0), pcm);
}

void MixInto(std::vector<int32_t>& sum, const int16_t* pcm) {
  for (size_t i = 0; i < sum.size(); ++i)
    sum[i] += pcm[i];
}

void ClipTo16(const std::vector<int32_t>& sum, int16_t* out) {
  for (size_t i = 0; i < sum.size(); ++i) {
    int32_t v = sum[i];
    out[i] = static_cast<int16_t>(v > 32767 ? 32767 : v < -32768 ? -32768 : v);
  }
}

}  // namespace agora_standin
