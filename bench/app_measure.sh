#!/usr/bin/env bash
# Measures the application on a virtual display, with SDL's disk output (to /dev/null) as its
# sound card:
#   - time from the start of the process to its window first drawn (the bar's colour seen on
#     screen; polled with ImageMagick, so the figure is good to a few tens of milliseconds),
#     beside the time to the window being mapped;
#   - CPU share of one core, from /proc/<pid>/stat (the application's process; its threads
#     included): while the loop plays with the editor hidden (10 s), while it plays with the
#     editor shown (20 s), and stopped with the editor shown (10 s); the editor's own cost is the
#     difference of the first two;
#   - resident memory (VmRSS) before and after the help page opens: the application's process,
#     and with its child processes (WebKit's web and network processes) added;
#   - which of the 80 loops played (the application picks one at random, and how much the gauge
#     moves, and so what the editor costs, depends on it).
# Usage: bench/app_measure.sh [build folder]   (default build/release; build the target
# kov_compressor_app_bundle there first). Needs xvfb-run, xdotool and ImageMagick.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
app="$PWD/$build/KOV_Compressor.app/KOV_Compressor"
[[ -x $app ]] || { echo "no application at $app (build kov_compressor_app_bundle)" >&2; exit 1; }

export KOV_APP="$app" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null
xvfb-run -a -s '-screen 0 1280x1024x24' bash -c '
  set -euo pipefail
  now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
  rss_kb() { awk "/^VmRSS/ {print \$2}" /proc/$1/status; }
  descendants() { local c; for c in $(pgrep -P "$1" || true); do echo "$c"; descendants "$c"; done; }
  rss_tree_kb() { local sum=0 p; for p in $1 $(descendants $1); do sum=$((sum + $(rss_kb $p || echo 0))); done; echo $sum; }
  cpu_ticks() { awk "{print \$14 + \$15}" /proc/$1/stat; }

  log=$(mktemp)
  start=$(now_ms)
  "$KOV_APP" >"$log" 2>&1 &
  pid=$!
  trap "kill $pid 2>/dev/null || true; rm -f $log" EXIT  # also when it gives up early
  win=""
  until win=$(xdotool search --limit 1 --name "^KOV Compressor$" 2>/dev/null); do
    (( $(now_ms) - start < 10000 )) || { echo "no window within 10 s; the application said:" >&2; tail -n 5 "$log" >&2; exit 1; }
    sleep 0.005
  done
  mapped=$(now_ms)
  # The bar (0.16, 0.17, 0.19) drawn at (300, 20): the first frame is on screen.
  bar() { import -window "$win" -crop 1x1+300+20 -depth 8 txt:- 2>/dev/null | tail -n 1; }
  until [[ $(bar) =~ srgb\((40|41),(43|44),(48|49)\) ]]; do
    (( $(now_ms) - start < 10000 )) || { echo "the window was not drawn within 10 s" >&2; exit 1; }
  done
  drawn=$(now_ms)
  echo "start to window mapped:      $((mapped - start)) ms"
  echo "start to first drawn window: $((drawn - start)) ms"

  hz=$(getconf CLK_TCK)
  cpu_share() { # seconds label: the CPU share over the next `seconds`
    local t0 t1 w0 w1
    t0=$(cpu_ticks $pid); w0=$(now_ms)
    sleep "$1"
    t1=$(cpu_ticks $pid); w1=$(now_ms)
    awk -v t=$((t1 - t0)) -v hz=$hz -v ms=$((w1 - w0)) -v label="$2" \
      "BEGIN { printf \"CPU %s %.1f %% of one core (over %.1f s)\n\", label, 100 * t / hz / (ms / 1000), ms / 1000 }"
  }

  sleep 2  # the effect found and embedded
  xdotool mousemove --window "$win" 60 28 click 1    # Play, the editor hidden
  sleep 2
  cpu_share 10 "while playing, editor hidden:"
  xdotool mousemove --window "$win" 168 28 click 1   # Unit: the editor shown
  sleep 2
  cpu_share 20 "while playing, editor shown: "
  xdotool mousemove --window "$win" 60 28 click 1    # Stop
  sleep 2
  cpu_share 10 "stopped, editor shown:       "
  sleep 1

  echo "resident before the help page: $(( $(rss_kb $pid) / 1024 )) MB (with child processes $(( $(rss_tree_kb $pid) / 1024 )) MB)"
  xdotool mousemove --window "$win" 964 28 click 1   # Help (the page from the help host; offline it is an error page)
  sleep 6
  echo "resident after the help page:  $(( $(rss_kb $pid) / 1024 )) MB (with child processes $(( $(rss_tree_kb $pid) / 1024 )) MB)"
  loop=$(grep -o "Audio file at [^ ]*" "$log" | head -n 1 | grep -o "[0-9]*\.m4a" || true)
  echo "loop played: ${loop:-unknown}"
  kill $pid; wait $pid || true; trap - EXIT
  rm -f "$log"
'
