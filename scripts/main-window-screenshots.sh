#!/usr/bin/env bash
# Screenshots of the running client's main window, driven by the fake game against the demo
# service in a private Xvfb: the live hall in the complete view, a live room in the simple view,
# the simple view pinned, the complete view pinned, and the error page when the service is down.
#   scripts/main-window-screenshots.sh [OUT_DIR]     (default: BUILD_DIR/screenshots/main-window)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=wine-env.sh
. "$root/scripts/wine-env.sh"
zarvik_prepare_run
out=$(mkdir -p "${1:-$build_dir/screenshots/main-window}" && cd "${1:-$build_dir/screenshots/main-window}" && pwd)

zarvik_session_start

work=$(mktemp -d "${TMPDIR:-/tmp}/zarvik-mainshots.XXXXXX")
service_pid=
cleanup() {
  [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null || true
  zarvik_session_stop
  rm -rf "$work"
}
trap cleanup EXIT
set -a; . "$build_dir/demo.env"; set +a

start_service() {
  rm -f "$work/service.ready"
  python3 "$root/tools/demo-service/demo_service.py" --port "$ZARVIK_DEMO_PORT" \
    --request-log "$work/requests.jsonl" --data-dir "$work/service" \
    --ready-file "$work/service.ready" &
  service_pid=$!
  for _ in $(seq 1 50); do [ -f "$work/service.ready" ] && break; sleep 0.1; done
}
stop_service() { kill "$service_pid" 2>/dev/null || true; wait "$service_pid" 2>/dev/null || true; service_pid=; }

# run SCRIPT NAME...: runs the fake game with SCRIPT; whenever it starts "sleep 300N" (N = 1..),
# the window is shot as the Nth NAME, cropped to the window's last reported place with a margin
# for the shadow.
run() {
  local script=$1; shift
  local names=("$@") record="$work/record.txt"
  rm -rf "$work/client" "$record"
  cp -r "$build_dir/bin" "$work/client"
  rm -rf "$work/client"/unit_*.exe "$work/client"/*.log "$work/client/Flash.exe" "$work/client/cache"
  (cd "$work" && exec wine "$work/client/fake-game.exe" --client "Z:${work//\//\\}\\client\\zarvik.exe" \
     --record "Z:${work//\//\\}\\record.txt" --login demo-player --do "$script" >/dev/null 2>&1) &
  local game=$! shot=0
  while kill -0 "$game" 2>/dev/null && [ $shot -lt ${#names[@]} ]; do
    if grep -q "^do  *sleep 300$((shot + 1))" "$record" 2>/dev/null; then
      sleep 1.5
      read -r _ x y w h _ < <(grep '^window ' "$record" | tail -1)
      local m=8
      import -window root -crop "$((w + 2 * m))x$((h + 2 * m))+$((x - m < 0 ? 0 : x - m))+$((y - m < 0 ? 0 : y - m))" \
        +repage "$out/${names[$shot]}.png"
      echo "[shots] $out/${names[$shot]}.png"
      shot=$((shot + 1))
    fi
    sleep 0.2
  done
  wait "$game" || true
}

start_service
run "wait-window 60000; sleep 4000; window-info; sleep 3001; \
message 0x464 0 0; sleep 500; click 1295 20; sleep 1500; window-info; sleep 3002; \
click 315 17; sleep 800; window-info; sleep 3003; \
click 235 17; sleep 1500; window-info; sleep 3004; \
client-exit; wait-client 30000; exit 0" main-complete main-simple main-simple-pinned main-complete-pinned
stop_service

# No service: the first page cannot load and the error document shows instead.
run "wait-window 60000; sleep 5000; window-info; sleep 3001; client-exit; wait-client 30000; exit 0" \
  main-error-page
