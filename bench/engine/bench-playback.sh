#!/usr/bin/env bash
# Playback measured against mpv in the same run, on the same generated files (MP3, Ogg
# Vorbis and WAV tones written by make_demo):
#   gap     silence between the end of one track and the start of the next, in the sound
#           the player sends to SDL's disk audio driver (paced in real time), against the
#           silence mpv writes between the files with --gapless-audio=no (ao=pcm: mpv
#           reopens its output between files, so only what it writes can be compared;
#           SDL's disk driver would truncate its file at each reopen);
#   cpu     user + system CPU seconds over SECONDS of playback, no spectrum consumer
#           (Lirren: Qt offscreen, SDL dummy driver; mpv: --no-video --ao=null);
#   memory  peak resident set size over the same run.
#
#   bench/engine/bench-playback.sh [build-folder]      (SECONDS_OF_PLAY=60, GAP_SECONDS=20 by default)
# Needs a built tree (Lirren, the audio libraries, make_demo, capture_gaps) and mpv
# (bash scripts/install-deps.sh --bench).
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
bin="$build/bin"
seconds=${SECONDS_OF_PLAY:-60}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for tool in "$bin/Lirren" "$bin/make_demo" "$bin/capture_gaps" "$bin/libbass.so"; do
  [ -x "$tool" ] || [ -f "$tool" ] || { echo "bench-playback: missing $tool (build first)" >&2; exit 1; }
done
command -v mpv >/dev/null || { echo "bench-playback: mpv not installed (scripts/install-deps.sh --bench)" >&2; exit 1; }

# playlist <folder> <seconds a track>: tones, Playlist.ini of MP3, Ogg, WAV, settings.
playlist() {
  local dir=$1
  "$bin/make_demo" "$dir" "$2" >/dev/null
  printf '[Main]\nMainPath=%s/music/\n[Default]\n1=01-a4-440hz.mp3\n2=02-e5-660hz.ogg\n3=03-a5-880hz.wav\n' "$dir" \
    > "$dir/Playlist.ini"
  printf '[General]\nPath=%s\nShuffle=0\nPanel=0\n' "$dir" > "$dir/config/Velkor/Aubadine/1.0.ini"
}
tracks() { echo "$1/music/01-a4-440hz.mp3" "$1/music/02-e5-660hz.ogg" "$1/music/03-a5-880hz.wav"; }

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
# A ratio against a peer of 0 means nothing; the gap is then also printed against 100 ms.

# ---- gap ----
playlist "$work/short" 1.5
XDG_CONFIG_HOME="$work/short/config" QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=disk \
  SDL_DISKAUDIOFILE="$work/lirren.raw" timeout -s TERM "${GAP_SECONDS:-20}" "$bin/Lirren" >/dev/null 2>&1 || true
lirren_gaps=$("$bin/capture_gaps" "$work/lirren.raw")
lirren_gap=$(awk '/^median/ { print $2 }' <<<"$lirren_gaps")
lirren_worst=$(awk '/^worst/ { print $2 }' <<<"$lirren_gaps")
lirren_count=$(grep -c '^gap ' <<<"$lirren_gaps" || true)

# shellcheck disable=SC2046
mpv --no-config --really-quiet --no-video --gapless-audio=no --ao=pcm --ao-pcm-append=yes \
  --ao-pcm-waveheader=no --ao-pcm-file="$work/mpv.raw" --audio-samplerate=44100 --audio-format=s16 \
  --audio-channels=stereo $(tracks "$work/short") $(tracks "$work/short") >/dev/null 2>&1
mpv_gaps=$("$bin/capture_gaps" "$work/mpv.raw")
mpv_gap=$(awk '/^median/ { print $2 }' <<<"$mpv_gaps")
mpv_worst=$(awk '/^worst/ { print $2 }' <<<"$mpv_gaps")

# ---- CPU and memory over $seconds of playback ----
playlist "$work/long" 10
measure() {  # prints "user+system max_rss_kb"
  /usr/bin/time -f "%U %S %M" -o "$work/time" "$@" >/dev/null 2>&1 || true
  tail -n 1 "$work/time" | awk '{ printf "%.2f %d\n", $1 + $2, $3 }'
}
read -r lirren_cpu lirren_rss < <(measure env XDG_CONFIG_HOME="$work/long/config" QT_QPA_PLATFORM=offscreen \
  SDL_AUDIODRIVER=dummy timeout -s TERM "$seconds" "$bin/Lirren")
# shellcheck disable=SC2046
read -r mpv_cpu mpv_rss < <(measure timeout -s TERM "$seconds" mpv --no-config --really-quiet --no-video \
  --ao=null --loop-playlist=inf $(tracks "$work/long"))

printf '%-34s %12s %12s %8s\n' "measure" "Lirren" "mpv" "ratio"
printf '%-34s %12s %12s %8s\n' "gap between tracks, median (ms)" "$lirren_gap" "$mpv_gap" "$(ratio "$lirren_gap" "$mpv_gap")"
printf '%-34s %12s %12s %8s\n' "gap between tracks, worst (ms)" "$lirren_worst" "$mpv_worst" "$(ratio "$lirren_worst" "$mpv_worst")"
printf '%-34s %12s %12s %8s\n' "  gap against the 100 ms target" "$lirren_gap" "100" "$(ratio "$lirren_gap" 100)"
printf '%-34s %12s\n' "  gaps measured (Lirren)" "$lirren_count"
printf '%-34s %12s %12s %8s\n' "CPU over ${seconds} s (s)" "$lirren_cpu" "$mpv_cpu" "$(ratio "$lirren_cpu" "$mpv_cpu")"
printf '%-34s %12s %12s %8s\n' "peak resident memory (KiB)" "$lirren_rss" "$mpv_rss" "$(ratio "$lirren_rss" "$mpv_rss")"
