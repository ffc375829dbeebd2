#!/usr/bin/env bash
# The built player at rest uses next to no CPU: on a virtual X display, with SDL's dummy
# sound driver and the real audio library,
#   1. a player whose only track cannot be played, while its message box is open;
#   2. a player paused through its tray menu's "Пауза" (chosen over D-Bus by a
#      StatusNotifierItem host, as a desktop panel would), once the sound has played out.
# Each must use under 0.15 s of CPU (user + system) over 3 s, on SDL's dummy output and on
# an output whose clock runs ahead of the wall clock (SDL's disk writer to /dev/null asking
# for a buffer every 10 ms), where a mixer that polls would show at once.
#
# Usage: idle_cpu_e2e.sh BIN_DIR SOUNDPROBE SNI_HOST ARTIFACTS_DIR
# Exit 77 = skipped (tools missing).
set -uo pipefail

BIN=$1
PROBE=$2
SNIHOST=$3
ART=$4
PLAYER="$BIN/Lirren"
LIMIT_TICKS=15  # 0.15 s in clock ticks of 10 ms

. "$(dirname "$0")/lib.sh"
e2e_require Xvfb xdotool import dbus-daemon
[ -x "$PLAYER" ] || { echo "FAIL: $PLAYER is not built"; exit 1; }
[ "$(getconf CLK_TCK)" -eq 100 ] || LIMIT_TICKS=$(( 15 * $(getconf CLK_TCK) / 100 ))

e2e_init idle
mkdir -p "$ART"
player_pid="" host_pid=""

# user + system clock ticks of a process so far
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
# Checks the CPU the player uses over 3 s; $1 names the state.
check_resting() {
  local before after used
  before=$(ticks "$player_pid") || { fail "$1: the player is gone"; return; }
  sleep 3
  after=$(ticks "$player_pid") || { fail "$1: the player is gone"; return; }
  used=$((after - before))
  log "$1: $used ticks of CPU over 3 s (limit $LIMIT_TICKS)"
  [ "$used" -lt "$LIMIT_TICKS" ] || fail "$1: the player used $used ticks of CPU over 3 s"
}
# Waits up to 20 s for a second in which the player uses at most one clock tick, so that what
# start-up or the last command set going (on a loaded machine, late) is over before the
# measurement. A player that keeps working never settles and is measured all the same.
settle() {
  local _ before after
  for _ in $(seq 20); do
    before=$(ticks "$player_pid") || return 0
    sleep 1
    after=$(ticks "$player_pid") || return 0
    [ $((after - before)) -le 1 ] && return 0
  done
  log "$1: the player did not settle within 20 s"
}
stop_player() {
  kill -TERM "$player_pid" 2>/dev/null
  if e2e_ended "$player_pid" 15; then
    [ "$code" -eq 0 ] || fail "exit code $code after SIGTERM"  # a sanitizer build's findings too
  else
    fail "the player did not end"; kill -KILL "$player_pid"; wait "$player_pid" 2>/dev/null
  fi
  player_pid=""
}
settings() { printf '[General]\nPath=%s\nShuffle=0\nPanel=0\n' "$work/music" > "$work/config/Velkor/Aubadine/1.0.ini"; }

e2e_start_display
export QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=dummy DBUS_SESSION_BUS_ADDRESS=disabled:
settings

outputs() {  # $1: dummy or fast
  if [ "$1" = fast ]; then
    export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null SDL_DISKAUDIODELAY=10
  else
    export SDL_AUDIODRIVER=dummy
    unset SDL_DISKAUDIOFILE SDL_DISKAUDIODELAY
  fi
}
find_box() { xdotool search --onlyvisible --name '^(Confirm|Error|Warning)' 2>/dev/null | head -n1; }
head -c 20000 /dev/urandom > "$work/music/broken.mp3"
"$PROBE" wav "$work/music/tone.wav" 440 60 || { echo "FAIL: fixture"; exit 1; }
e2e_start_bus || fail "no session bus"

for output in dummy fast; do
  outputs "$output"
  # ---- 1: an unplayable track, its message box open ----
  export DBUS_SESSION_BUS_ADDRESS=disabled:
  printf '[Main]\nMainPath=%s/\n[Default]\n1=broken.mp3\n' "$work/music" > "$work/music/Playlist.ini"
  settings
  "$PLAYER" >> "$work/player.log" 2>&1 &
  player_pid=$!
  if wait_for 20 sh -c "xdotool search --onlyvisible --name '^(Confirm|Error|Warning)' >/dev/null 2>&1"; then
    log "message box: $(xdotool getwindowname "$(find_box)")"
    settle "$output output, message box open"
    if [ "$output" = dummy ]; then
      import -window root "$ART/e2e-idle-01-box.png" && log "screenshot e2e-idle-01-box.png"
    fi
    check_resting "$output output, message box open"
  else
    fail "$output output: no message box for the unplayable track"
  fi
  stop_player

  # ---- 2: paused through the tray menu ----
  printf '[Main]\nMainPath=%s/\n[Default]\n1=tone.wav\n' "$work/music" > "$work/music/Playlist.ini"
  settings
  export DBUS_SESSION_BUS_ADDRESS="$bus_address"
  rm -f "$work/sni-menu.txt" "$work/host.out"
  "$SNIHOST" "$work/sni-menu.txt" 60000 "Пауза" > "$work/host.out" 2> "$work/host.err" &
  host_pid=$!
  wait_for 20 grep -q ready "$work/host.out" || fail "the StatusNotifierItem host did not start"
  "$PLAYER" >> "$work/player.log" 2>&1 &
  player_pid=$!
  # The host reads the menu, then chooses "Пауза"; what was already mixed plays out.
  if wait_for 30 grep -qs '^chose Пауза' "$work/host.out"; then
    settle "$output output, paused through the menu"
    check_resting "$output output, paused through the menu"
  else
    fail "$output output: the StatusNotifierItem host did not choose Пауза: $(cat "$work/host.err")"
  fi
  stop_player
  wait "$host_pid" 2>/dev/null
  host_pid=""
done
kill "$bus_pid"; wait "$bus_pid" 2>/dev/null; bus_pid=""

if [ "$failures" -gt 0 ]; then
  log "$failures failure(s); player output:"; cat "$work/player.log" 2>/dev/null
  exit 1
fi
log "the player rests while nothing plays"
