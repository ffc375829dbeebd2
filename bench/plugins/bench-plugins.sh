#!/usr/bin/env bash
# The plug-in host's benchmark: a 5-minute FLAC played through in_flac.so against the same
# audio as WAV played by the library, each for SECONDS (default 60) in real time on SDL's
# output (CPU, ratio), and the ring's Write-to-heard latency.
# Usage: bench/plugins/bench-plugins.sh [BUILD_DIR] [SECONDS]   (needs ffmpeg)
set -euo pipefail
BUILD=${1:-build}
work=$(mktemp -d /tmp/aubadine-plugin-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
# Music-like content compresses like music: two tones and a little noise.
ffmpeg -loglevel error -f lavfi -i "sine=frequency=440:duration=300:sample_rate=44100" \
       -f lavfi -i "anoisesrc=duration=300:sample_rate=44100:amplitude=0.05:seed=7" \
       -filter_complex "[0][1]amix=inputs=2,aformat=sample_fmts=s16:channel_layouts=stereo" "$work/a.wav"
ffmpeg -loglevel error -i "$work/a.wav" -codec:a flac -f flac "$work/a.fla"
SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy} "$BUILD/bin/plugin_bench" "$work/a.fla" "$work/a.wav" "${2:-60}"
