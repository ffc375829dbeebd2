#!/usr/bin/env bash
# The player's CPU with a visualization host linked at a 25 ms period against the same
# player without a host, measured in the same run: one headless Lirren plays a long tone;
# its CPU time (/proc/PID/stat) is taken over alternating windows without and with
# aubavis (offscreen) linked. Prints both, and the rise in percent of one core (target:
# at most 0.5).
#
# Usage: bench-vis-cpu.sh BIN_DIR SOUNDPROBE [WINDOW_SECONDS] (default 8; 2 windows each)
set -euo pipefail
BIN=$1
PROBE=$2
WINDOW=${3:-8}

work=$(mktemp -d /tmp/aubadine-vis-bench.XXXXXX)
player_pid="" host_pid=""
cleanup() {
  for pid in $host_pid $player_pid; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/music" "$work/config/Velkor/Aubadine" "$work/run"
chmod 700 "$work/run"
"$PROBE" wav "$work/music/tone.wav" 440 120 >/dev/null
printf '[Main]\nMainPath=%s/\n[Default]\nTrack1=tone.wav\n' "$work/music" > "$work/music/Playlist.ini"
printf '[General]\nPath=%s\nShuffle=0\nPanel=\n' "$work/music" > "$work/config/Velkor/Aubadine/1.0.ini"
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run" HOME="$work" QT_QPA_PLATFORM=offscreen \
       SDL_AUDIODRIVER=dummy DBUS_SESSION_BUS_ADDRESS=disabled: AUBADINE_VIS_SHARE="AubadineVisCpu$$"

hz=$(getconf CLK_TCK)
cpu_ticks() { awk '{print $14 + $15}' "/proc/$player_pid/stat"; }
# percent of one core used by the player over WINDOW seconds
measure() {
  local a b t0 t1
  a=$(cpu_ticks); t0=$(date +%s.%N)
  sleep "$WINDOW"
  b=$(cpu_ticks); t1=$(date +%s.%N)
  awk -v a="$a" -v b="$b" -v t0="$t0" -v t1="$t1" -v hz="$hz" 'BEGIN { printf "%.2f", (b - a) / hz / (t1 - t0) * 100 }'
}

"$BIN/Lirren" > "$work/player.log" 2>&1 &
player_pid=$!
sleep 4  # splash, first track, steady playing
for _ in $(seq 50); do [ -S "$work/run/aubadine/vis.sock" ] && break; sleep 0.1; done

without=() with=()
for round in 1 2; do
  without+=("$(measure)")
  "$BIN/aubavis" --period 25 > "$work/host.log" 2>&1 &
  host_pid=$!
  sleep 1.5  # linked, data flowing
  with+=("$(measure)")
  kill "$host_pid"; wait "$host_pid" 2>/dev/null || true; host_pid=""
  sleep 0.5
done
mean() { awk '{ s = 0; for (i = 1; i <= NF; i++) s += $i; printf "%.2f", s / NF }' <<< "$*"; }
a=$(mean "${without[@]}")
b=$(mean "${with[@]}")
printf 'player CPU without a host: %s %% of a core (%s); with aubavis linked at 25 ms: %s %% (%s); rise: %s %% of a core (target <= 0.5)\n' \
  "$a" "${without[*]}" "$b" "${with[*]}" "$(awk -v a="$a" -v b="$b" 'BEGIN { printf "%.2f", b - a }')"
