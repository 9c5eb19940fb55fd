// Channel framing: one 64 KiB socket read (what the channel server and the engine read at once)
// made of the smallest messages, taken apart by the Framer, against a bare walk over the same
// bytes that copies each payload out the same way. The same read as one message is printed too.
// Ours and the floor take turns so both see the same load.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_clock.h"
#include "channel_protocol.h"

namespace {

using namespace channel_protocol;
using zarvik_bench::Now;
using zarvik_bench::Stats;
using zarvik_bench::Summarise;

constexpr int kReads = 50;
constexpr int kRounds = 9;

// Seconds per read through the Framer; |messages| gets the messages of one read.
double ThroughFramer(const std::string& read, size_t& messages) {
  const double start = Now();
  for (int r = 0; r < kReads; ++r) {
    Framer framer;
    framer.Append(read.data(), read.size());
    uint8_t type;
    std::string payload;
    messages = 0;
    while (framer.Next(type, payload) == 1)
      ++messages;
  }
  return (Now() - start) / kReads;
}

// The floor: the lengths read in place, each payload assigned to a string.
double BareWalk(const std::string& read, size_t& messages) {
  const double start = Now();
  for (int r = 0; r < kReads; ++r) {
    std::string payload;
    messages = 0;
    size_t at = 0;
    while (read.size() - at >= 5) {
      uint32_t n = 0;
      for (int i = 0; i < 4; ++i)
        n |= static_cast<uint32_t>(static_cast<uint8_t>(read[at + i])) << (8 * i);
      if (n == 0 || read.size() - at - 4 < n)
        break;
      payload.assign(read, at + 5, n - 1);
      at += 4 + n;
      ++messages;
    }
  }
  return (Now() - start) / kReads;
}

}  // namespace

int main() {
  std::string tiny;
  while (tiny.size() + 5 <= 64 * 1024)
    tiny += Writer(kSetRole).Finish();
  std::string one = Writer(kVideoFrame).Finish();
  one.resize(64 * 1024, 'x');
  const uint32_t n = static_cast<uint32_t>(one.size() - 4);
  for (int i = 0; i < 4; ++i)
    one[i] = static_cast<char>((n >> (8 * i)) & 0xFF);

  bool complete = true;
  struct Row {
    const char* label;
    const std::string* read;
    size_t expected;
  };
  const Row rows[] = {{"64 KiB read of 5-byte messages", &tiny, tiny.size() / 5},
                      {"64 KiB read as one message", &one, 1}};
  for (const Row& row : rows) {
    std::vector<double> ours, floor;
    size_t oursMessages = 0, floorMessages = 0;
    for (int round = 0; round < kRounds; ++round) {
      ours.push_back(ThroughFramer(*row.read, oursMessages));
      floor.push_back(BareWalk(*row.read, floorMessages));
    }
    if (oursMessages != row.expected || floorMessages != row.expected) {
      std::printf("%s: %zu messages through the framer, %zu by the walk, expected %zu\n", row.label,
                  oursMessages, floorMessages, row.expected);
      complete = false;
    }
    const Stats o = Summarise(ours), f = Summarise(floor);
    std::printf("%s: %zu messages, %d rounds of %d reads\n", row.label, row.expected, kRounds,
                kReads);
    std::printf(
        "ROW\tchannel framing, %s: Framer vs a bare walk\tus\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t"
        "%.2f\t<=3\n",
        row.label, o.median * 1e6, o.min * 1e6, o.max * 1e6, f.median * 1e6, f.min * 1e6,
        f.max * 1e6);
  }
  return complete ? 0 : 1;
}
