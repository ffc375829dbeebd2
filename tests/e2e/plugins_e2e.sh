#!/usr/bin/env bash
# Input plug-ins end to end: the built player on a virtual X display, its sound captured by
# SDL's disk driver. The test hook AUBADINE_TEST_PLUGINS makes the player load in_tone.so
# and in_flac.so through its plug-in dialog at start (ticking "Plugin First"), and the
# dialog stays open for a screenshot. The playlist mixes an MP3 (the player's own decoder),
# a tone file (in_tone), a 16-bit FLAC file and a 48 kHz Opus file (in_flac, written as
# decoded and converted) and a tone file whose plug-in never says that it has ended: every
# track must be heard in playlist order, each at its own pitch, the last one followed by the
# first again.
#
# Usage: plugins_e2e.sh BIN_DIR SOUNDPROBE ARTIFACTS_DIR
# The screenshot lands in ARTIFACTS_DIR as e2e-plugins-dialog.png. Exit 77 = skipped.
set -uo pipefail

BIN=$1
PROBE=$2
ART=$3
PLAYER="$BIN/Lirren"

. "$(dirname "$0")/lib.sh"
e2e_require Xvfb xdotool import ffmpeg
for f in "$PLAYER" "$BIN/Plugins/in_tone.so" "$BIN/Plugins/in_flac.so"; do
  [ -e "$f" ] || { echo "FAIL: $f is not built"; exit 1; }
done

e2e_init plugins-e2e
mkdir -p "$ART"
rm -f "$ART"/e2e-plugins-*.png
player_pid=""

# ---- fixtures: track n at 110 * (2n + 1) Hz ----
m="$work/music"
"$PROBE" wav "$m/a.wav" 330 2.5 && ffmpeg -loglevel error -y -i "$m/a.wav" -codec:a libmp3lame -b:a 128k "$m/t1.mp3" \
  || { echo "FAIL: mp3 fixture"; exit 1; }
printf 'frequency=550\nlength=2500\ntitle=Tone\n' > "$m/t2.ton"
"$PROBE" wav "$m/c.wav" 770 2.5 && ffmpeg -loglevel error -y -i "$m/c.wav" -codec:a flac -f flac "$m/t3.fla" \
  || { echo "FAIL: flac fixture"; exit 1; }
"$PROBE" wav "$m/d.wav" 990 2.5 && ffmpeg -loglevel error -y -i "$m/d.wav" -ar 48000 -codec:a libopus -f ogg "$m/t4.opu" \
  || { echo "FAIL: opus fixture"; exit 1; }
printf 'frequency=1210\nlength=1500\nmisbehave=noend\n' > "$m/t5.ton"
rm -f "$m"/*.wav
printf '[Main]\nMainPath=%s/\n[Default]\nTrack1=t1.mp3\nTrack2=t2.ton\nTrack3=t3.fla\nTrack4=t4.opu\nTrack5=t5.ton\n' "$m" > "$m/Playlist.ini"
printf '[General]\nPath=%s\nShuffle=0\nPanel=0\n' "$m" > "$work/config/Velkor/Aubadine/1.0.ini"

# ---- the display ----
e2e_start_display

export DBUS_SESSION_BUS_ADDRESS=disabled: QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/capture.raw" \
       AUBADINE_TEST_PLUGINS=in_tone.so,in_flac.so AUBADINE_TEST_PLUGIN_FIRST=1
"$PLAYER" > "$work/player.log" 2>&1 &
player_pid=$!

# ---- the dialog, with both plug-ins loaded ----
dialog=""
for _ in $(seq 150); do
  dialog=$(xdotool search --onlyvisible --name '^Input plug-in Configuration$' 2>/dev/null | head -n1)
  [ -n "$dialog" ] && break
  sleep 0.1
done
if [ -n "$dialog" ]; then
  sleep 2.5  # the splash (1.5 s) would cover part of it
  import -window "$dialog" "$ART/e2e-plugins-dialog.png" && log "screenshot e2e-plugins-dialog.png"
else
  fail "the plug-in dialog did not show"
fi
box=$(xdotool search --onlyvisible --name '^(Confirm|Error|Warning)$' 2>/dev/null | head -n1)
[ -n "$box" ] && fail "a message box is open: $(xdotool getwindowname "$box")"

# ---- the sound: six tracks' worth ----
for _ in $(seq 300); do
  n=$("$PROBE" segments "$work/capture.raw" 2>/dev/null | awk '$2 >= 1.0' | wc -l)
  [ "$n" -ge 6 ] && break
  kill -0 "$player_pid" 2>/dev/null || break
  sleep 0.1
done
kill -TERM "$player_pid" 2>/dev/null
if e2e_ended "$player_pid" 10; then
  # In a sanitizer build the exit code also says whether it found errors or leaks.
  [ "$code" -eq 0 ] || fail "exit code $code after SIGTERM"
else
  fail "the player did not end on SIGTERM"
fi
player_pid=""

segments=$("$PROBE" segments "$work/capture.raw" | awk '$2 >= 1.0')
log "heard (Hz seconds):"; echo "$segments" | sed 's/^/    /'
# Track numbers in the order heard; each must follow the one before it, with wrap-around.
order=$(echo "$segments" | awk '{n = ($1 / 110 - 1) / 2; r = int(n + 0.5); if ((n - r) ^ 2 < 0.01 && r >= 1 && r <= 5) printf "%d ", r; else printf "? "}')
log "tracks: $order"
count=0 prev=0
for t in $order; do
  [ "$t" = "?" ] && { fail "a sound at no track's pitch"; continue; }
  if [ "$prev" -ne 0 ] && [ "$t" -ne $(( prev % 5 + 1 )) ]; then fail "track $t followed track $prev"; fi
  prev=$t; count=$((count + 1))
done
[ "$count" -ge 5 ] || fail "only $count tracks were heard"
grep -i "error\|assert" "$work/player.log" && fail "the player logged errors"

[ "$failures" -eq 0 ] && { log "PASS"; exit 0; }
log "the player's output:"; sed 's/^/    /' "$work/player.log"
log "$failures failure(s)"; exit 1
