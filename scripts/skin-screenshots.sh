#!/usr/bin/env bash
# Screenshots of the skins in zarvik.ui, taken from a private Xvfb display with ImageMagick's
# `import`: main.xml in the complete view (1480 x 890) and in the simple view (420 x 340), the
# voice window (vcast.xml) and the update strip (update.xml) at 50 %.
#   scripts/skin-screenshots.sh [OUT_DIR]     (default: BUILD_DIR/screenshots)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=wine-env.sh
. "$root/scripts/wine-env.sh"
zarvik_prepare_run
out=$(mkdir -p "${1:-$build_dir/screenshots}" && cd "${1:-$build_dir/screenshots}" && pwd)

zarvik_session_start

viewer="$build_dir/bin/skin-viewer.exe"
work=$(mktemp -d "${TMPDIR:-/tmp}/zarvik-shots.XXXXXX")
trap 'zarvik_session_stop; rm -rf "$work"' EXIT

# shot NAME WIDTHxHEIGHT SKIN [viewer options...]: the window sits at 0,0; the shot is its area.
shot() {
  local name=$1 size=$2 skin=$3; shift 3
  rm -f "$work/ready" "$work/stop"
  (cd "$work" && exec wine "$viewer" "$skin" --size "$size" --ready-file ready --stop-file stop \
     "$@" >"$work/$name.log" 2>&1) &
  local pid=$!
  for _ in $(seq 1 300); do [ -f "$work/ready" ] && break; sleep 0.1; done
  if [ ! -f "$work/ready" ]; then
    echo "[shots] $name: the viewer did not come up" >&2; cat "$work/$name.log" >&2
    kill "$pid" 2>/dev/null || true; return 1
  fi
  sleep 0.5  # let the X server show the last paint
  import -window root -crop "${size}+0+0" +repage "$out/$name.png"
  touch "$work/stop"
  wait "$pid" || true
  echo "[shots] $out/$name.png"
}

shot main-complete 1480x890 main.xml
shot main-complete-hover 1480x890 main.xml --hover browseHistoryBtn
shot main-simple 420x340 main.xml --simple
shot main-simple-hover 420x340 main.xml --simple --hover binbtn
shot vcast 480x360 vcast.xml
shot update-50 264x22 update.xml --progress 50
