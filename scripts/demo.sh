#!/usr/bin/env bash
# The demo: builds the client, starts the demo service, then the fake game, which starts
# zarvik.exe under Wine with the five start arguments as the game would. Screenshots of the
# display go to build/demo/. The client is told to end after ZARVIK_DEMO_SECONDS (default 15);
# with ZARVIK_DEMO_SECONDS=0 the demo runs until the client is closed.
# Without a display (or with ZARVIK_DEMO_XVFB=1) it runs inside a private Xvfb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${ZARVIK_DEMO_SECONDS:-15}

# shellcheck source=wine-env.sh
. "$root/scripts/wine-env.sh"
zarvik_prepare_run
out=$build_dir/demo
if [ -n "${DISPLAY:-}" ] && [ -z "${ZARVIK_DEMO_XVFB:-}" ]; then export ZARVIK_KEEP_DISPLAY=1; fi
zarvik_session_start

rm -rf "$out"; mkdir -p "$out"
# The voice channel server too, so the live rooms' voice channel can be joined.
zarvik_demo_services_start "$build_dir" "$out"
echo "demo service on http://127.0.0.1:$ZARVIK_DEMO_PORT/ (requests: $out/requests.jsonl)"
echo "channel server on 127.0.0.1:$ZARVIK_CHANNEL_SERVER_PORT (two clients in one channel: tools/channel-server/voice_demo.sh)"

# The client runs from its own folder copy, as an installation would.
cp -r "$build_dir/bin" "$out/client"
rm -rf "$out/client"/unit_*.exe "$out/client"/*.log "$out/client/Flash.exe" "$out/client/cache"
if [ "$seconds" -gt 0 ]; then
  script="wait-window 60000; sleep ${seconds}000; client-exit; wait-notify 0x1857B 20000; wait-client 30000; exit 0"
else
  script="wait-window 60000; wait-client 0x7FFFFFFF; exit 0"
fi
wine "$out/client/fake-game.exe" --client "Z:${out//\//\\}\\client\\zarvik.exe" \
  --record "Z:${out//\//\\}\\game-record.txt" --login demo-player --do "$script" &
game_pid=$!

shot=0
while kill -0 "$game_pid" 2>/dev/null; do
  sleep 3
  if grep -q '^client-window' "$out/game-record.txt" 2>/dev/null && [ $shot -lt 3 ]; then
    shot=$((shot + 1))
    import -display "$DISPLAY" -window root "$out/screenshot-$shot.png" 2>/dev/null \
      && echo "screenshot: $out/screenshot-$shot.png"
  fi
done
wait "$game_pid" || true
echo "--- the game received:"; grep -E '^(notify|client-exit)' "$out/game-record.txt" || true
echo "--- client log ($out/client/zarvik.log):"; cat "$out/client/zarvik.log"
