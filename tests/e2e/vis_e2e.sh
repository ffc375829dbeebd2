#!/usr/bin/env bash
# The visualization host end to end, as a person watches it: on a virtual X display the
# player plays a playlist of a 440 Hz tone and a 2 kHz tone, and aubavis, started beside
# it, links itself and shows the track and its spectrum. One screenshot of aubavis while
# each tone plays: the title changes and the tallest bars move to the right. Then the
# player quits and aubavis says it is waiting; a new player is found again.
#
# Usage: vis_e2e.sh BIN_DIR SOUNDPROBE ARTIFACTS_DIR
# Screenshots land in ARTIFACTS_DIR as vis-*.png. Exit 77 = skipped (tools missing).
set -uo pipefail

BIN=$1
PROBE=$2
ART=$3
PLAYER="$BIN/Lirren"
HOST="$BIN/aubavis"

. "$(dirname "$0")/lib.sh"
e2e_require Xvfb xdotool import convert xwininfo
[ -x "$PLAYER" ] && [ -x "$HOST" ] || { echo "FAIL: $PLAYER or $HOST is not built"; exit 1; }

e2e_init vis-e2e
mkdir -p "$ART"
rm -f "$ART"/vis-*.png
player_pid="" host_pid=""

# ---- two tracks, in order: a 440 Hz tone, then a 2 kHz tone, 8 s each ----
"$PROBE" wav "$work/music/tone-440Hz.wav" 440 8 && "$PROBE" wav "$work/music/tone-2000Hz.wav" 2000 8 \
  || { echo "FAIL: fixture"; exit 1; }
printf '[Main]\nMainPath=%s/\n[Default]\nTrack1=tone-440Hz.wav\nTrack2=tone-2000Hz.wav\n' "$work/music" \
  > "$work/music/Playlist.ini"
printf '[General]\nPath=%s\nShuffle=0\nPanel=\n' "$work/music" > "$work/config/Velkor/Aubadine/1.0.ini"

e2e_start_display
export DBUS_SESSION_BUS_ADDRESS=disabled: QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=dummy AUBADINE_VIS_SHARE="AubadineVisE2E$$"

host_window() { xdotool search --name '^aubavis' 2>/dev/null | head -n1; }
caption() { xdotool getwindowname "$(host_window)" 2>/dev/null; }
caption_has() { caption | grep -q -- "$1"; }
# x of the column (0..1 of the spectrum's width) with the most bar pixels above the horizon
peak_x() {
  local png=$1
  # The window is 760x420: the spectrum spans x 18..742, the bars rise above y 234.
  convert "$png" -crop 724x150+18+80 +repage -fx '(r > 0.78 && r - b > 0.23) ? 1 : 0' -scale 724x1! \
          -colorspace gray txt:- 2>/dev/null |
    awk -F'[,:() ]+' 'NR > 1 { v = $(NF - 1) + 0; if (v > best) { best = v; x = $1 } }
                      END { if (best > 0) printf "%.3f\n", x / 724; else print "none" }'
}
shot() {  # $1 name: a screenshot of aubavis's window
  import -window "$(host_window)" "$ART/$1.png" && log "screenshot $1.png"
}

# ---- aubavis first: it waits for the player ----
"$HOST" --period 25 > "$work/aubavis.log" 2>&1 &
host_pid=$!
wait_for 10 host_window >/dev/null || { fail "aubavis shows no window"; exit 1; }
caption_has "waiting for Lirren" || fail "aubavis does not say it is waiting: $(caption)"
sleep 0.5
shot vis-00-waiting

# ---- the player: the track in turn, aubavis links by itself ----
"$PLAYER" > "$work/player.log" 2>&1 &
player_pid=$!
wait_for 15 caption_has "tone-" || { fail "aubavis never showed a track: $(caption)"; cat "$work/player.log"; exit 1; }
log "aubavis: $(caption)"
# The first track is chosen at random: wait for the 440 Hz one (at most one track away).
wait_for 20 caption_has "tone-440Hz" || fail "the 440 Hz track never played"
sleep 1.5
shot vis-01-440hz
cap1=$(caption)
x1=$(peak_x "$ART/vis-01-440hz.png")
wait_for 12 caption_has "tone-2000Hz" || fail "the 2 kHz track did not follow"
sleep 1.5
shot vis-02-2000hz
cap2=$(caption)
x2=$(peak_x "$ART/vis-02-2000hz.png")
log "440 Hz: '$cap1', tallest bars at $x1 of the width; 2 kHz: '$cap2', at $x2"
[ "$cap1" != "$cap2" ] || fail "the title did not change"
if [ "$x1" = none ] || [ "$x2" = none ]; then
  fail "no bars in a screenshot"
elif ! awk -v a="$x1" -v b="$x2" 'BEGIN { exit !(b > a + 0.1) }'; then
  fail "the peak did not move right (440 Hz at $x1, 2 kHz at $x2)"
fi

# ---- the player quits: aubavis waits again, and finds the next player ----
# (Its exit code also carries what a sanitizer build found, leaks included.)
kill -TERM "$player_pid"; wait "$player_pid" 2>/dev/null; code=$?; player_pid=""
[ "$code" -eq 0 ] || fail "exit code $code after SIGTERM"
wait_for 5 caption_has "waiting for Lirren" || fail "aubavis did not notice that the player quit"
"$PLAYER" > "$work/player2.log" 2>&1 &
player_pid=$!
wait_for 15 caption_has "tone-" || fail "aubavis did not reconnect to the new player"
sleep 1
shot vis-03-reconnected
kill -TERM "$player_pid"; wait "$player_pid" 2>/dev/null; code=$?; player_pid=""
[ "$code" -eq 0 ] || fail "exit code $code after the second SIGTERM"

if [ "$failures" -gt 0 ]; then
  log "$failures failure(s)"
  exit 1
fi
log "vis e2e passed"
