# Sourced by the test and demo commands: the project's own Wine prefix and a private X display.
#   zarvik_wine_env BUILD_DIR [ARCH]  sets WINEPREFIX and friends for the i686 build (win32 prefix,
#                                     the default; a win64 prefix of the WoW64 Wine when
#                                     ZARVIK_WOW64_WINE names one) or the x86_64 build (win64
#                                     prefix, wine64), and creates the prefix once per Wine
#   zarvik_session_start              starts Xvfb and a persistent, warmed-up wineserver
#   zarvik_session_stop               stops both again (also on exit)

zarvik_wine_env() {
  local build_dir arch=${2:-i686}
  build_dir=$(cd "$1" && pwd)
  export WINEPREFIX=${ZARVIK_WINEPREFIX:-$build_dir/wineprefix}
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES="mscoree,mshtml="
  # A call for the other build (test.sh prepares both in one shell) takes back this one's `wine`.
  if [ -n "${ZARVIK_WINE_PATH_ENTRY:-}" ]; then
    PATH=$(printf '%s' ":$PATH:" | sed "s#:$ZARVIK_WINE_PATH_ENTRY:#:#g; s#^:##; s#:\$##")
    ZARVIK_WINE_PATH_ENTRY=
  fi
  if [ "$arch" = i686 ] && [ -n "${ZARVIK_WOW64_WINE:-}" ]; then
    # The WoW64 Wine: its own `wine` and `wineserver` first on PATH, a win64 prefix (32-bit
    # programs run from its syswow64).
    export WINEARCH=win64
    unset WINELOADER
    export ZARVIK_WINE_PATH_ENTRY=$ZARVIK_WOW64_WINE/bin
    export PATH="$ZARVIK_WINE_PATH_ENTRY:$PATH"
  elif [ "$arch" = x86_64 ]; then
    # /usr/bin/wine starts the 32-bit loader whenever wine32 is installed. A `wine` of our own,
    # first on PATH, always starts the 64-bit one: CTest, the end-to-end tests and these scripts
    # all call plain `wine`.
    if [ ! -x /usr/lib/wine/wine64 ]; then
      echo "[wine] /usr/lib/wine/wine64 is missing: the x86-64 build cannot run (install wine64)" >&2
      return 1
    fi
    export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
    mkdir -p "$build_dir/wine-bin"
    printf '#!/bin/sh\nWINELOADER=/usr/lib/wine/wine64 exec /usr/lib/wine/wine64 "$@"\n' \
      >"$build_dir/wine-bin/wine"
    chmod +x "$build_dir/wine-bin/wine"
    export ZARVIK_WINE_PATH_ENTRY=$build_dir/wine-bin
    export PATH="$ZARVIK_WINE_PATH_ENTRY:$PATH"
  else
    export WINEARCH=win32
    unset WINELOADER
  fi
  # Requests of the client go to the demo service on loopback, never through a proxy.
  unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY
  export no_proxy=127.0.0.1,127.0.0.2,localhost
  if ! wine --version >/dev/null 2>&1; then
    echo "[wine] wine cannot start on this machine for the $arch build: $(wine --version 2>&1 | head -n 1)" >&2
    return 1
  fi
  # A prefix belongs to the Wine that made it: another Wine (wine32, then a WoW64 Wine) gets a
  # new one.
  local made_by; made_by="$WINEARCH $(wine --version 2>&1 | head -n 1) $(command -v wine)"
  if [ ! -f "$WINEPREFIX/.zarvik-ready" ] || [ "$(cat "$WINEPREFIX/.zarvik-ready")" != "$made_by" ]; then
    echo "[wine] creating $WINEARCH prefix $WINEPREFIX ($(wine --version 2>&1 | head -n 1))" >&2
    rm -rf "$WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    wine wineboot -i </dev/null >/dev/null 2>&1 || true
    # No window manager runs on the test display: unmanaged windows close without waiting.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f </dev/null >/dev/null 2>&1
    wineserver -w
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      echo "[wine] the $WINEARCH prefix could not be created in $WINEPREFIX" >&2
      return 1
    fi
    echo "$made_by" >"$WINEPREFIX/.zarvik-ready"
  fi
}

zarvik_session_start() {
  if [ -z "${ZARVIK_KEEP_DISPLAY:-}" ]; then
    # Xvfb picks a free display number itself and writes it to the pipe.
    local fifo; fifo=$(mktemp -u "${TMPDIR:-/tmp}/zarvik-xvfb.XXXXXX")
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    ZARVIK_XVFB_PID=$!
    local number; read -r -t 20 number <"$fifo" || true
    rm -f "$fifo"
    if [ -z "$number" ]; then echo "[wine] Xvfb did not start" >&2; return 1; fi
    export DISPLAY=:$number
  fi
  wineserver -p 600
  wine wineboot </dev/null >/dev/null 2>&1 || true
  trap zarvik_session_stop EXIT
}

zarvik_session_stop() {
  if [ -n "${ZARVIK_SERVICE_PIDS:-}" ]; then
    # shellcheck disable=SC2086
    kill $ZARVIK_SERVICE_PIDS >/dev/null 2>&1 || true
    ZARVIK_SERVICE_PIDS=
  fi
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "${ZARVIK_XVFB_PID:-}" ]; then
    kill "$ZARVIK_XVFB_PID" >/dev/null 2>&1 || true
    wait "$ZARVIK_XVFB_PID" 2>/dev/null || true
    ZARVIK_XVFB_PID=
  fi
}

# Starts the demo service and the voice channel server for a demo, with their files under OUT,
# and waits until both listen. Reads the ports from the build folder's demo.env and voice.env.
# zarvik_session_stop ends them again.
zarvik_demo_services_start() {
  local build_dir=$1 out=$2 root
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  set -a; . "$build_dir/demo.env"; . "$build_dir/voice.env"; set +a
  python3 "$root/tools/demo-service/demo_service.py" --port "$ZARVIK_DEMO_PORT" \
    --request-log "$out/requests.jsonl" --data-dir "$out/service" --ready-file "$out/service.ready" &
  ZARVIK_SERVICE_PIDS="$!"
  wine "$build_dir/bin/channel-server.exe" --port "$ZARVIK_CHANNEL_SERVER_PORT" \
    --ready-file "Z:${out//\//\\}\\channel.ready" >"$out/channel-server.log" 2>&1 &
  ZARVIK_SERVICE_PIDS="$ZARVIK_SERVICE_PIDS $!"
  for _ in $(seq 1 100); do
    [ -s "$out/channel.ready" ] && [ -f "$out/service.ready" ] && break
    sleep 0.1
  done
}

# For the commands that run the client (demo, benchmarks, screenshots): picks the build this
# machine runs (scripts/machine.sh), says so, builds it (unless --no-build) and prepares its Wine.
# Sets build_dir to that build's folder and exports it as ZARVIK_RUN_DIR; ZARVIK_BUILD_DIR stays
# the base folder the scripts derive both build folders from.
zarvik_prepare_run() {
  local root; root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  # shellcheck source=machine.sh
  . "$root/scripts/machine.sh"
  zarvik_machine
  echo "[route] running the $ZARVIK_RUN_ARCH build under $(zarvik_wine_name "$ZARVIK_RUN_ARCH"): $ZARVIK_ROUTE_REASON"
  if [ "${1:-}" != --no-build ]; then bash "$root/scripts/build.sh" --run-only; fi
  build_dir=$(zarvik_build_dir "$ZARVIK_RUN_ARCH")
  export ZARVIK_RUN_DIR=$build_dir
  if ! zarvik_wine_env "$build_dir" "$ZARVIK_RUN_ARCH"; then
    echo "[route] Wine cannot run the $ZARVIK_RUN_ARCH build on this machine" >&2
    exit 3
  fi
}

# Which Wine runs the build of architecture ARCH, for the route lines.
zarvik_wine_name() {
  if [ "$1" = x86_64 ]; then
    echo "wine64 (/usr/lib/wine/wine64)"
  elif [ -n "${ZARVIK_WOW64_WINE:-}" ]; then
    echo "the WoW64 Wine ($ZARVIK_WOW64_WINE/bin/wine)"
  else
    echo "wine32 (/usr/lib/wine/wine)"
  fi
}
