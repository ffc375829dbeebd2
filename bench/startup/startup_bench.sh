#!/usr/bin/env bash
# Start-up speed: from process start to the first audible sample of the first track, for
# the player (Lirren) and for mpv on the same MP3 file, measured in the same run. Both play
# through SDL's disk audio driver, so "audible" means the first sample above 1% of full
# scale in the captured sound. The player runs on Qt's offscreen platform (no display
# needed); its playlist holds only the benchmark's track, so that track is the first.
#
# Usage: bench/startup/startup_bench.sh [BUILD_DIR] [RUNS]     (defaults: build, 7)
# Prints the median of each, and the ratio player / mpv (target: at most 1.0).
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
runs=${2:-7}
timer="$build/bin/startup_timer"
player="$build/bin/Lirren"
for f in "$timer" "$player"; do [ -x "$f" ] || { echo "not built: $f (cmake --build $build --target startup_timer Lirren)"; exit 2; }; done
command -v mpv >/dev/null || { echo "mpv is not installed (scripts/install-deps.sh --bench)"; exit 2; }

work=$(mktemp -d /tmp/aubadine-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/music" "$work/config/Velkor/Aubadine" "$work/run"
chmod 700 "$work/run"
# The track: a 440 Hz tone as MP3 (128 kbit/s), the player's everyday format.
command -v ffmpeg >/dev/null || { echo "ffmpeg is not installed (scripts/install-deps.sh --bench)"; exit 2; }
ffmpeg -loglevel error -y -f lavfi -i sine=frequency=440:sample_rate=44100:duration=30 -ac 2 \
  -codec:a libmp3lame -b:a 128k "$work/music/track.mp3"
printf '[Main]\nMainPath=%s/\n[Default]\n1=track.mp3\n' "$work/music" > "$work/music/Playlist.ini"
printf '[General]\nPath=%s\nShuffle=0\nPanel=0\n' "$work/music" > "$work/config/Velkor/Aubadine/1.0.ini"

export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run" HOME="$work" \
       QT_QPA_PLATFORM=offscreen DBUS_SESSION_BUS_ADDRESS=disabled:

median() { sort -n | awk '{a[NR] = $1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }
measure() {  # $1 name, rest: command
  local name=$1 out all=()
  shift
  for _ in $(seq "$runs"); do
    if out=$("$timer" run "$work/capture.raw" 15000 -- "$@" 2>/dev/null); then
      all+=("$out")
    else
      echo "$name: no sound within 15 s" >&2
      return 1
    fi
  done
  echo "$name runs (ms): ${all[*]}" >&2
  printf '%s\n' "${all[@]}" | median
}

mpv_ms=$(measure mpv mpv --no-config --no-terminal --no-video --ao=sdl "$work/music/track.mp3")
if ! lirren_ms=$(measure Lirren "$player"); then
  echo "mpv:    ${mpv_ms} ms to the first audible sample"
  echo "Lirren: did not play (the engine or the audio library of this build cannot play yet)"
  exit 3
fi
echo "mpv:    ${mpv_ms} ms to the first audible sample"
echo "Lirren: ${lirren_ms} ms to the first audible sample"
awk -v a="$lirren_ms" -v b="$mpv_ms" 'BEGIN {printf "ratio Lirren / mpv: %.2f (target: at most 1.00)\n", a / b}'
