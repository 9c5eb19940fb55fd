#!/usr/bin/env bash
# The voice demo: the demo service, the channel server and two clients with their fake games on
# this display. The second client (in the simple view, so both voice windows can be seen) joins
# the first one's channel 12345; each voice window shows the other's video. Screenshots go to
# build/demo-voice/. Runs about 40 seconds.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=../../scripts/wine-env.sh
. "$root/scripts/wine-env.sh"
zarvik_prepare_run
out=$build_dir/demo-voice
if [ -n "${DISPLAY:-}" ] && [ -z "${ZARVIK_DEMO_XVFB:-}" ]; then export ZARVIK_KEEP_DISPLAY=1; fi
zarvik_session_start

rm -rf "$out"; mkdir -p "$out"
# A container has no microphone; the voice engine takes the count from here.
export AGORA_RTC_RECORDING_DEVICES=${AGORA_RTC_RECORDING_DEVICES:-1}
# Nor a sound card: each engine's microphone and speaker are WAV files in its install folder.
# A says a sentence (espeak-ng, when installed) over and over; B's speaker file records it.
export AGORA_RTC_AUDIO_INPUT_FILE=mic.wav AGORA_RTC_AUDIO_INPUT_LOOP=1
export AGORA_RTC_AUDIO_OUTPUT_FILE=speaker.wav

zarvik_demo_services_start "$build_dir" "$out"
echo "channel server on $ZARVIK_CHANNEL_SERVER_HOST:$ZARVIK_CHANNEL_SERVER_PORT"

for name in a b; do
  cp -r "$build_dir/bin" "$out/$name"
  rm -rf "$out/$name"/unit_*.exe "$out/$name"/*.log "$out/$name/Flash.exe" "$out/$name/cache" \
    "$out/$name/wineprefix"
done
if command -v espeak-ng >/dev/null; then
  espeak-ng -w "$out/a/mic.wav" "Hello from player A. Can you hear me?"
else
  echo "espeak-ng is not installed: A's microphone file is missing and A sends no audio"
fi
win() { echo "Z:${1//\//\\}"; }
# A joins channel 12345 as uid 1001. B enters a live room, switches to the simple view and
# joins as uid 2002. Both stay about half a minute, then close.
wine "$out/a/fake-game.exe" --client "$(win "$out/a/zarvik.exe")" --record "$(win "$out/a.txt")" \
  --login demo-a --do "wait-window 60000; sleep 1500; copydata 12345@1001@; sleep 30000; \
client-exit; wait-client 30000; exit 0" &
game_a=$!
wine "$out/b/fake-game.exe" --client "$(win "$out/b/zarvik.exe")" --record "$(win "$out/b.txt")" \
  --login demo-b --do "wait-window 60000; message 0x464 0 0; sleep 500; click 1295 20; \
sleep 2500; copydata 12345@2002@; sleep 27000; client-exit; wait-client 30000; exit 0" &
game_b=$!

shot=0
while kill -0 "$game_a" 2>/dev/null && [ $shot -lt 3 ]; do
  sleep 5
  if grep -q "OnEIDFirstRemoteFrameDecoded" "$out/a/zarvik.log" 2>/dev/null; then
    shot=$((shot + 1))
    import -display "$DISPLAY" -window root "$out/screenshot-$shot.png" 2>/dev/null \
      && echo "screenshot: $out/screenshot-$shot.png"
  fi
done
wait "$game_a" "$game_b" || true
echo "--- channel server:"; cat "$out/channel-server.log"
echo "--- B's speaker file: $out/b/speaker.wav (what B heard of A)"
for name in a b; do
  echo "--- client $name audio lines:"
  grep -a -E "audio|microphone|speaker" "$out/$name/AgoraSDK.log" || true
  echo "--- client $name voice lines:"
  grep -a -E "JoinChannel|OnEID|closeMic" "$out/$name/zarvik.log" || true
done
