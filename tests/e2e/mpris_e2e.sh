#!/usr/bin/env bash
# The player's remote control on the desktop (MPRIS2), end to end: the built player on a
# private session bus that this script starts and stops, its sound captured by SDL's disk
# driver, driven the way media keys and desktop widgets drive it: playerctl, gdbus and
# dbus-send. Every command is checked by its effect on what is heard, not only by its
# reply: next and previous move to the neighbouring track's pitch, pause and stop silence
# it, play brings it back, a seek moves the position, the volume scales the sound, the
# shuffle mark follows, malformed calls get errors while the sound goes on, and Quit runs
# the close sequence, which writes the shuffle setting.
#
# Usage: mpris_e2e.sh BIN_DIR SOUNDPROBE     Exit 77 = skipped (tools missing).
set -uo pipefail

BIN=$1
PROBE=$2
PLAYER="$BIN/Lirren"
DEST=org.mpris.MediaPlayer2.aubadine
OBJ=/org/mpris/MediaPlayer2

. "$(dirname "$0")/lib.sh"
e2e_require dbus-daemon dbus-send gdbus playerctl ffmpeg
[ -x "$PLAYER" ] || { echo "FAIL: $PLAYER is not built"; exit 1; }

e2e_init mpris
player_pid="" monitor_pid=""

# ---- three tagged MP3 tracks of 60 s, track n a tone of 110 * (n + 1) Hz ----
for n in 1 2 3; do
  "$PROBE" wav "$work/t$n.wav" $((110 * (n + 1))) 60 || { echo "FAIL: fixture"; exit 1; }
  ffmpeg -loglevel error -y -i "$work/t$n.wav" -codec:a libmp3lame -b:a 128k -id3v2_version 3 \
    -metadata title="Tone $n" -metadata artist="Aubadine Tests" -metadata album="Dawn" "$work/music/t$n.mp3" \
    || { echo "FAIL: fixture"; exit 1; }
done
printf '[Main]\nMainPath=%s/\n[Default]\nTrack1=t1.mp3\nTrack2=t2.mp3\nTrack3=t3.mp3\n' "$work/music" \
  > "$work/music/Playlist.ini"
settings="$work/config/Velkor/Aubadine/1.0.ini"
printf '[General]\nPath=%s\nShuffle=0\nPanel=0\n' "$work/music" > "$settings"

# ---- the private session bus and the player ----
e2e_start_bus || { echo "FAIL: no session bus"; exit 1; }
export DBUS_SESSION_BUS_ADDRESS="$bus_address" QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=disk \
       SDL_DISKAUDIOFILE="$work/capture.raw"
# In the sanitizer build the player's exit code also says whether it leaked (LeakSanitizer).
"$PLAYER" > "$work/player.log" 2>&1 &
player_pid=$!

pc() { playerctl -p aubadine "$@" 2>&1; }
prop() { gdbus call --session --dest $DEST --object-path $OBJ --method org.freedesktop.DBus.Properties.Get \
           org.mpris.MediaPlayer2.Player "$1" 2>&1; }
measure() { "$PROBE" tail "$work/capture.raw" 300; }
field() { echo "$1" | tr ' ' '\n' | sed -n "s/^$2=//p"; }
track_of() { awk -v hz="$1" 'BEGIN {n = int(hz / 110 + 0.5) - 1; print (n >= 1 && n <= 3 && (hz / 110 - n - 1) ^ 2 < 0.01) ? n : 0}'; }
heard_track() { sleep 0.8; track_of "$(field "$(measure)" hz)"; }
louder_than() { awk -v v="$(field "$(measure)" rms)" -v t="$1" 'BEGIN {exit !(v > t)}'; }
silent() { sleep 0.8; awk -v v="$(field "$(measure)" rms)" 'BEGIN {exit !(v < 0.005)}'; }

if ! wait_for 15 sh -c "playerctl -p aubadine status 2>/dev/null | grep -qx Playing"; then
  echo "FAIL: the player did not appear on the bus as playing"; cat "$work/player.log"; exit 1
fi
log "on the bus: $(playerctl -l 2>&1 | tr '\n' ' ')"

# ---- identity and metadata ----
id=$(gdbus call --session --dest $DEST --object-path $OBJ --method org.freedesktop.DBus.Properties.Get \
       org.mpris.MediaPlayer2 Identity 2>&1)
[ "$id" = "(<'Aubadine'>,)" ] || fail "Identity is $id"
k=$(heard_track)
[ "$k" -ge 1 ] || fail "no tone heard at start ($(measure))"
title=$(pc metadata xesam:title); artist=$(pc metadata xesam:artist); album=$(pc metadata xesam:album)
[ "$title" = "Tone $k" ] || fail "title '$title' while track $k plays"
[ "$artist" = "Aubadine Tests" ] && [ "$album" = "Dawn" ] || fail "artist/album: '$artist' / '$album'"
length=$(pc metadata mpris:length)
[ "${length:-0}" -ge 59000000 ] && [ "${length:-0}" -le 61000000 ] || fail "mpris:length $length"
url=$(pc metadata xesam:url)
[ "$url" = "file://$work/music/t$k.mp3" ] || fail "xesam:url $url"
log "track $k: '$title' by '$artist', $length us"

# ---- next and previous: the tray menu's own steps ----
monitor() { gdbus monitor --session --dest $DEST > "$work/signals.txt" 2>&1 & monitor_pid=$!; sleep 0.3; }
monitor
if [ "$k" -lt 3 ]; then step=next; back=previous; want=$((k + 1)); else step=previous; back=next; want=$((k - 1)); fi
pc "$step" >/dev/null
now=$(heard_track)
[ "$now" -eq "$want" ] || fail "$step: heard track $now, expected $want"
[ "$(pc metadata xesam:title)" = "Tone $want" ] || fail "$step: metadata did not follow"
pc "$back" >/dev/null
now=$(heard_track)
[ "$now" -eq "$k" ] || fail "$back: heard track $now, expected $k"
grep -q "Tone $want" "$work/signals.txt" || fail "no PropertiesChanged carried the new metadata"

# ---- no signal while nothing changes (the spectrum ticks every 25 ms) ----
before=$(grep -c PropertiesChanged "$work/signals.txt")
sleep 2
after=$(grep -c PropertiesChanged "$work/signals.txt")
[ "$after" -eq "$before" ] || fail "$((after - before)) PropertiesChanged in 2 s of steady playback"

# ---- pause, play, play-pause, stop ----
pc pause >/dev/null
silent || fail "pause left sound ($(measure))"
[ "$(pc status)" = Paused ] || fail "status after pause: $(pc status)"
grep -q "'PlaybackStatus': <'Paused'>" "$work/signals.txt" || fail "no PropertiesChanged for Paused"
pc play >/dev/null
[ "$(heard_track)" -eq "$k" ] && louder_than 0.1 || fail "play did not resume track $k ($(measure))"
pc play-pause >/dev/null
silent || fail "play-pause did not pause"
pc play-pause >/dev/null
[ "$(heard_track)" -eq "$k" ] || fail "play-pause did not resume"
pc stop >/dev/null
silent || fail "stop left sound"
[ "$(pc status)" = Stopped ] || fail "status after stop: $(pc status)"
sleep 1.2
[ "$(pc status)" = Stopped ] || fail "the player moved on after stop: $(pc status)"
pc play >/dev/null
[ "$(heard_track)" -eq "$k" ] || fail "play after stop did not restart track $k"
pos=$(pc position | cut -d. -f1)
[ "${pos:-99}" -le 3 ] || fail "play after stop did not start from the beginning (position $pos)"

# ---- seeking ----
pc position 30 >/dev/null
pos=$(pc position | cut -d. -f1)
[ "${pos:-0}" -ge 30 ] && [ "${pos:-0}" -le 32 ] || fail "SetPosition to 30 s gave $pos"
grep -q Seeked "$work/signals.txt" || fail "no Seeked signal"
pc position 5- >/dev/null
pos=$(pc position | cut -d. -f1)
[ "${pos:-0}" -ge 25 ] && [ "${pos:-0}" -le 27 ] || fail "Seek -5 s gave $pos"
trackid=$(pc metadata mpris:trackid)
dbus-send --session --print-reply --dest=$DEST $OBJ org.mpris.MediaPlayer2.Player.SetPosition \
  objpath:/org/aubadine/track/999999 int64:1000000 > /dev/null 2>&1
pos=$(pc position | cut -d. -f1)
[ "${pos:-0}" -ge 25 ] || fail "SetPosition with a stale track id ($trackid is current) moved to $pos"

# ---- volume and shuffle ----
full=$(field "$(measure)" rms)
pc volume 0.5 >/dev/null
sleep 0.8
half=$(field "$(measure)" rms)
awk -v f="$full" -v h="$half" 'BEGIN {exit !(h > 0.3 * f && h < 0.7 * f)}' || fail "volume 0.5: rms $half of $full"
[ "$(pc volume)" = 0.501961 ] || [ "$(pc volume | cut -c1-3)" = 0.5 ] || fail "Volume reads $(pc volume)"
pc volume 1.0 >/dev/null
pc shuffle On >/dev/null
[ "$(prop Shuffle)" = "(<true>,)" ] || fail "Shuffle reads $(prop Shuffle) after setting it"
[ "$(prop LoopStatus)" = "(<'Playlist'>,)" ] || fail "LoopStatus $(prop LoopStatus)"

# ---- malformed calls: errors or nothing, and the sound goes on ----
k=$(heard_track)
out=$(dbus-send --session --print-reply --dest=$DEST $OBJ org.mpris.MediaPlayer2.Player.Seek string:abc 2>&1)
echo "$out" | grep -q 'Error' || fail "Seek with a string was accepted: $out"
out=$(dbus-send --session --print-reply --dest=$DEST $OBJ org.freedesktop.DBus.Properties.Set \
        string:org.mpris.MediaPlayer2.Player string:Volume variant:string:loud 2>&1)
echo "$out" | grep -q 'Error' || fail "Volume set to a string was accepted: $out"
out=$(dbus-send --session --print-reply --dest=$DEST $OBJ org.mpris.MediaPlayer2.Player.OpenUri \
        string:http://127.0.0.1:1/x.mp3 2>&1)
echo "$out" | grep -q 'Error' || fail "OpenUri was accepted: $out"
dbus-send --session --print-reply --dest=$DEST $OBJ org.mpris.MediaPlayer2.Player.Seek \
  int64:-9223372036854775808 > /dev/null 2>&1 || fail "Seek to the smallest offset failed"
pos=$(pc position | cut -d. -f1)
[ "${pos:-99}" -le 2 ] || fail "Seek far backwards did not go to the start ($pos)"
[ "$(heard_track)" -eq "$k" ] && louder_than 0.1 || fail "the sound stopped after malformed calls ($(measure))"
dbus-send --session --print-reply --dest=$DEST $OBJ org.mpris.MediaPlayer2.Player.Seek \
  int64:9223372036854775807 > /dev/null 2>&1 || fail "Seek to the largest offset failed"
now=$(heard_track)
if [ "$k" -lt 3 ]; then
  [ "$now" -eq $((k + 1)) ] || fail "Seek past the end did not move to the next track (heard $now)"
else
  [ "$now" -eq 3 ] || fail "Seek past the end of the last track changed track (heard $now)"
fi

# ---- Quit: the close sequence, with the shuffle mark written ----
kill "$monitor_pid" 2>/dev/null; wait "$monitor_pid" 2>/dev/null; monitor_pid=""
dbus-send --session --print-reply --dest=$DEST $OBJ org.mpris.MediaPlayer2.Quit > /dev/null 2>&1 \
  || fail "Quit got no reply"
if e2e_ended "$player_pid" 10; then
  player_pid=""
  [ "$code" -eq 0 ] || fail "exit code $code after Quit"
  grep -qx 'Shuffle=1' "$settings" || fail "Quit did not write the shuffle mark: $(cat "$settings")"
else
  fail "Quit did not end the player"
fi

if [ "$failures" -gt 0 ]; then
  log "$failures failure(s); player output:"; cat "$work/player.log"
  exit 1
fi
log "MPRIS2 end-to-end run passed"
