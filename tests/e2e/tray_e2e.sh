#!/usr/bin/env bash
# The player end to end, as a person meets it: on a virtual X display with a real
# notification area (trayer, an XEmbed system tray), its sound captured by SDL's disk
# driver. The splash shows centred without a taskbar entry, then the icon docks; a right
# click opens the menu with its Russian captions; "Следующая" moves the sound to the next
# track's pitch, "Пауза" silences it, "Воспроизвести" resumes it; "О программе..." shows
# the picture again; "Выход" ends the player with both settings written. A second run starts
# with no tray at all: the player keeps running and docks once a tray appears, docks again
# when the tray restarts, and SIGTERM ends it through the same close sequence. A third run
# has the D-Bus kind of tray (a StatusNotifierItem host on a private session bus, which this
# script starts and stops): the icon registers with the host, the host reads its menu and
# chooses "Панель", then "Выход". A fourth run has a playlist whose only track is missing:
# the engine's message box carries exactly its caption "Confirm", and SIGTERM while it waits
# ends the player cleanly.
#
# Usage: tray_e2e.sh BIN_DIR SOUNDPROBE SNI_HOST ARTIFACTS_DIR
# Screenshots land in ARTIFACTS_DIR as e2e-*.png. Exit 77 = skipped (tools missing).
set -uo pipefail

BIN=$1
PROBE=$2
SNIHOST=$3
ART=$4
PLAYER="$BIN/Lirren"

. "$(dirname "$0")/lib.sh"
e2e_require Xvfb trayer xdotool import convert xwininfo xprop dbus-daemon
[ -x "$PLAYER" ] || { echo "FAIL: $PLAYER is not built"; exit 1; }

e2e_init e2e
mkdir -p "$ART"
rm -f "$ART"/e2e-*.png
tray_pid="" player_pid="" host_pid=""

# ---- fixtures: four tracks of 90 s, track n a pure tone of 110 * (n + 1) Hz ----
# Long enough that no track ends by itself while a check waits for the sound to change.
# MP3, the player's everyday format, encoded by ffmpeg from the generated WAV; WAV itself
# where ffmpeg is missing.
ext=mp3
command -v ffmpeg >/dev/null || ext=wav
for n in 1 2 3 4; do
  "$PROBE" wav "$work/music/t$n.wav" $((110 * (n + 1))) 90 || { echo "FAIL: fixture"; exit 1; }
  if [ "$ext" = mp3 ]; then
    ffmpeg -loglevel error -y -i "$work/music/t$n.wav" -codec:a libmp3lame -b:a 128k "$work/music/t$n.mp3" \
      || { echo "FAIL: fixture"; exit 1; }
    rm "$work/music/t$n.wav"
  fi
done
{
  printf '[Main]\nMainPath=%s/\n[Default]\n' "$work/music"
  for n in 1 2 3 4; do printf 'Track%d=t%d.%s\n' "$n" "$n" "$ext"; done
} > "$work/music/Playlist.ini"
settings="$work/config/Velkor/Aubadine/1.0.ini"
write_settings() { printf '[General]\nPath=%s\nShuffle=\nPanel=\n' "$work/music" > "$settings"; }
write_settings

# ---- the display and the tray ----
e2e_start_display
SCREEN_W=1024 SCREEN_H=768

start_tray() {
  trayer --edge top --align right --widthtype pixel --width 160 --height 32 \
         --transparent false --tint 0xdcdcdc > "$work/trayer.log" 2>&1 &
  tray_pid=$!
  # Up to 20 s: a loaded machine (CI builds running beside the test) starts it slowly.
  for _ in $(seq 200); do xdotool search --name '^panel$' >/dev/null 2>&1 && return 0; sleep 0.1; done
  log "trayer on $DISPLAY did not show its panel: $(cat "$work/trayer.log")"
  return 1
}

export DBUS_SESSION_BUS_ADDRESS=disabled: QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/capture.raw"

shot() { import -window root "$ART/$1.png" && log "screenshot $1.png"; }
# "x y width height state" of a window
geometry() {
  xwininfo -id "$1" 2>/dev/null | awk '
    /Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /Width:/ {w=$NF} /Height:/ {h=$NF} /Map State:/ {s=$NF}
    END {print x, y, w, h, s}'
}
# The player's viewable windows matching a size test, first one.
find_window() {  # $1: awk condition on w and h
  local id
  for id in $(xdotool search --class Lirren 2>/dev/null); do
    geometry "$id" | awk -v id="$id" "{w = \$3; h = \$4} \$5 == \"IsViewable\" && ($1) {print id; found = 1}
                                      END {exit !found}" && return 0
  done
  return 1
}
find_splash() { find_window 'w == 300 && h == 200'; }
find_icon() { find_window 'w <= 64 && h <= 64'; }
find_menu() { find_window 'w > 60 && w < 400 && h > 100 && !(w == 300 && h == 200)'; }
find_box() { xdotool search --onlyvisible --name '^(Confirm|Error|Warning)' 2>/dev/null | head -n1; }

open_menu() {
  local icon g
  icon=$(find_icon) || { fail "no tray icon to click"; return 1; }
  g=($(geometry "$icon"))
  xdotool mousemove $((g[0] + g[2] / 2)) $((g[1] + g[3] / 2))
  sleep 0.2
  xdotool mousedown 3; sleep 0.25; xdotool mouseup 3
  wait_for 10 find_menu >/dev/null || { fail "the right click opened no menu"; return 1; }
  sleep 0.2
}
# Keyboard through the open menu (disabled items are skipped by the menu itself).
keys() { local k; for k in "$@"; do xdotool key "$k"; sleep 0.12; done; }
measure() { "$PROBE" tail "$work/capture.raw" 400; }
field() { echo "$1" | tr ' ' '\n' | sed -n "s/^$2=//p"; }
track_of() { awk -v hz="$1" 'BEGIN {n = int(hz / 110 + 0.5) - 1; print (n >= 1 && n <= 4 && (hz / 110 - n - 1) ^ 2 < 0.01) ? n : 0}'; }
# Waits up to 10 s for the captured sound to meet $1, an awk condition on hz, rms and track
# (0: no track's pitch); the last measurement is left in r. A loaded machine takes its time
# to act on a menu command, and the capture lags behind.
heard() {
  local _ hz
  for _ in $(seq 50); do
    r=$(measure); hz=$(field "$r" hz)
    awk -v hz="$hz" -v rms="$(field "$r" rms)" -v track="$(track_of "$hz")" "BEGIN {exit !($1)}" && return 0
    sleep 0.2
  done
  return 1
}

# ================= run 1: with a tray =================
start_tray || { echo "FAIL: trayer did not start"; exit 1; }
log "display $DISPLAY, tray up"
"$PLAYER" > "$work/player.log" 2>&1 &
player_pid=$!

# Start-up: the splash, or first a message from the engine if it cannot play.
engine_plays=1
started() { [ -n "$(find_box)" ] || find_splash >/dev/null; }
wait_for 15 started
box=$(find_box)
if [ -n "$box" ]; then
  engine_plays=0
  shot e2e-00-engine-message
  log "start-up message: $(xdotool getwindowname "$box")"
  xdotool key Return
fi
if splash=$(wait_for 10 find_splash); then
  t_splash=$(date +%s%N)
  shot e2e-01-splash
  find_icon >/dev/null && find_splash >/dev/null && fail "the icon is there during the splash"
  g=($(geometry "$splash"))
  [ "${g[0]}" -eq $(( SCREEN_W / 2 - 150 )) ] && [ "${g[1]}" -eq $(( SCREEN_H / 2 - 100 )) ] \
    || fail "splash not centred: at ${g[0]},${g[1]}"
  xprop -id "$splash" _NET_WM_STATE | grep -q _NET_WM_STATE_SKIP_TASKBAR || fail "splash would get a taskbar entry"
else
  fail "no splash"
fi

# Until the icon docks, the splash and the icon are never seen together.
docked=0
for _ in $(seq 80); do
  splash_now=0; icon_now=0
  # The icon first: the player hides the splash before it adds the icon, so an icon seen
  # before a splash is a real overlap, while the other order only races the two probes.
  find_icon >/dev/null && icon_now=1
  find_splash >/dev/null && splash_now=1
  [ "$splash_now" -eq 1 ] && t_last_splash=$(date +%s%N)
  if [ "$icon_now" -eq 1 ]; then
    [ "$splash_now" -eq 1 ] && fail "the icon is there while the splash still shows"
    docked=1
    break
  fi
  sleep 0.1
done
if [ "$docked" -eq 1 ]; then
  log "icon docked; the splash was seen for at least $(( (${t_last_splash:-$t_splash} - t_splash) / 1000000 )) ms"
  sleep 0.3
  shot e2e-02-docked
  convert "$ART/e2e-02-docked.png" -crop 160x32+864+0 -scale 400% "$ART/e2e-02b-tray-zoom.png"
else
  fail "the icon never docked"
fi

# The menu, and the settings submenu.
if open_menu; then
  shot e2e-03-menu
  m=($(geometry "$(find_menu)"))
  convert "$ART/e2e-03-menu.png" -crop "${m[2]}x${m[3]}+${m[0]}+${m[1]}" -scale 200% "$ART/e2e-03b-menu-zoom.png"
  keys Down Right
  sleep 0.3
  shot e2e-04-settings-submenu
  keys Down Return   # "Панель"
  sleep 0.3
fi

# Sound: next track, pause, play.
if [ "$engine_plays" -eq 1 ]; then
  heard 'track > 0'; k=$(track_of "$(field "$r" hz)")
  log "playing: $r (track $k)"
  if [ "$k" -eq 0 ]; then
    fail "no track's pitch in the captured sound ($r)"
  else
    if [ "$k" -eq 4 ]; then  # "Следующая" is disabled at the last track: go back one first
      open_menu && keys Up Up Up Up Return
      heard 'track == 3' || fail "Previous did not move from track 4 to 3 ($r)"
      k=3
    fi
    open_menu && keys Up Up Up Up Return   # "Следующая"
    heard "track == $((k + 1))"; hz=$(field "$r" hz); now=$(track_of "$hz")
    log "after Next: $r (track $now)"
    [ "$now" -eq $((k + 1)) ] || fail "Next moved from track $k to ${now} (${hz} Hz)"
    open_menu && keys Down Down Down Return   # "Пауза"
    heard 'rms != "" && rms < 0.005'; log "after Pause: $r"
    awk -v v="$(field "$r" rms)" 'BEGIN {exit !(v < 0.005)}' || fail "Pause left sound ($r)"
    open_menu && keys Down Down Return        # "Воспроизвести"
    heard "rms > 0.1 && track == $((k + 1))"; again=$(track_of "$(field "$r" hz)"); log "after Play: $r (track $again)"
    awk -v v="$(field "$r" rms)" 'BEGIN {exit !(v > 0.1)}' || fail "Play did not resume ($r)"
    [ "$again" -eq $((k + 1)) ] || fail "Play resumed another track ($again)"
  fi
else
  log "SKIP sound checks (Next, Pause, Play): the engine cannot play tracks in this build yet"
fi

# About, then "Закрыть".
if open_menu; then
  keys Up Up Return   # "О программе..."
  if about=$(wait_for 10 find_splash); then
    sleep 0.3
    shot e2e-05-about
    a=($(geometry "$about"))
    [ "${a[0]}" -eq $(( SCREEN_W / 2 - 150 )) ] || fail "about window not centred"
    xdotool mousemove $((a[0] + 216 + 37)) $((a[1] + 168 + 12)) click 1   # "Закрыть"
    wait_for 10 eval '! find_splash >/dev/null' || fail "Закрыть did not hide the window"
    shot e2e-06-after-close-button
  else
    fail "О программе... showed no window"
  fi
fi

# Exit: the program ends and both settings are written.
if open_menu; then
  keys Up Return   # "Выход"
  if e2e_ended "$player_pid" 30; then
    player_pid=""
    [ "$code" -eq 0 ] || fail "exit code $code"
    grep -qx 'Shuffle=0' "$settings" || fail "Shuffle not written: $(cat "$settings")"
    grep -qx 'Panel=1' "$settings" || fail "Panel not written: $(cat "$settings")"
    sleep 0.3
    shot e2e-07-after-exit
    find_icon >/dev/null && fail "the icon outlived the player"
  else
    fail "Выход did not end the player"
  fi
fi

# ================= run 2: no tray at first =================
kill "$tray_pid"; wait "$tray_pid" 2>/dev/null; tray_pid=""
write_settings
rm -f "$work/capture.raw"
"$PLAYER" > "$work/player2.log" 2>&1 &
player_pid=$!
if [ "$engine_plays" -eq 0 ]; then wait_for 15 started && [ -n "$(find_box)" ] && xdotool key Return; fi
wait_for 10 find_splash >/dev/null || fail "no splash in the run without a tray"
sleep 3
kill -0 "$player_pid" 2>/dev/null || fail "the player ended without a tray"
find_icon >/dev/null && fail "an icon without a tray?"
start_tray || fail "trayer did not start the second time"
if wait_for 20 find_icon >/dev/null; then
  sleep 0.3
  shot e2e-08-late-tray
else
  fail "the icon did not dock when a tray appeared later"
fi
# The panel restarts: the icon comes back, so the player stays within reach.
kill "$tray_pid"; wait "$tray_pid" 2>/dev/null; tray_pid=""
wait_for 5 sh -c '! xdotool search --name "^panel$" >/dev/null 2>&1'
sleep 0.5
start_tray || fail "trayer did not start the third time"
if wait_for 20 find_icon >/dev/null; then
  sleep 0.3
  shot e2e-08b-tray-restarted
else
  fail "the icon did not come back after the tray restarted"
fi
kill -TERM "$player_pid"
if e2e_ended "$player_pid" 30; then
  player_pid=""
  [ "$code" -eq 0 ] || fail "exit code $code after SIGTERM"
  grep -qx 'Shuffle=0' "$settings" && grep -qx 'Panel=0' "$settings" \
    || fail "SIGTERM did not write the settings: $(cat "$settings")"
else
  fail "SIGTERM did not end the player"
fi

# ================= run 3: a StatusNotifierItem host on D-Bus =================
kill "$tray_pid"; wait "$tray_pid" 2>/dev/null; tray_pid=""
write_settings
e2e_start_bus || fail "no session bus"
export DBUS_SESSION_BUS_ADDRESS="$bus_address"
"$SNIHOST" "$work/sni-menu.txt" 60000 "Панель" "Выход" > "$work/host.out" 2> "$work/host.err" &
host_pid=$!
wait_for 20 grep -q ready "$work/host.out" || fail "the StatusNotifierItem host did not start"
"$PLAYER" > "$work/player3.log" 2>&1 &
player_pid=$!
if [ "$engine_plays" -eq 0 ]; then wait_for 15 started && [ -n "$(find_box)" ] && xdotool key Return; fi
if wait "$host_pid"; then
  host_pid=""
  cp "$work/sni-menu.txt" "$ART/e2e-09-sni-menu.txt"
  log "the StatusNotifierItem host saw:"; sed 's/^/    /' "$work/sni-menu.txt"
  expected=$'Настройки\n  Перетасовка [ ]\n  Панель [ ]\n  -\n  Модули ввода…\n-\nВоспроизвести\nПауза\n-\nПредыдущая*\nСледующая*\nВыбрать любую\n-\nО программе...\nВыход'
  got=$(sed -n '/^menu /,$p' "$work/sni-menu.txt" | tail -n +2 | sed 's/ \[disabled\]$/*/; s/^\(Предыдущая\|Следующая\)$/\1*/')
  [ "$got" = "$expected" ] || fail "the menu over D-Bus differs: $(printf '%s' "$got" | tr '\n' '|')"
  grep -qx 'tooltip Aubadine' "$work/sni-menu.txt" || fail "the item's tooltip is not Aubadine"
  grep -q '^icon-pixmaps [1-9]' "$work/sni-menu.txt" || fail "the item carries no icon"
else
  host_pid=""
  fail "the StatusNotifierItem host saw no item or could not use its menu: $(cat "$work/host.err")"
fi
if e2e_ended "$player_pid" 30; then
  player_pid=""
  [ "$code" -eq 0 ] || fail "exit code $code after Выход over D-Bus"
  grep -qx 'Panel=1' "$settings" && grep -qx 'Shuffle=0' "$settings" \
    || fail "Выход over D-Bus did not write the settings: $(cat "$settings")"
else
  fail "Выход over D-Bus did not end the player"
fi
kill "$bus_pid"; wait "$bus_pid" 2>/dev/null; bus_pid=""
export DBUS_SESSION_BUS_ADDRESS=disabled:

# ================= run 4: a message box =================
# The playlist's only track is missing: start-up shows the engine's box, whose caption is
# exactly "Confirm" (nothing appended by the toolkit); SIGTERM while it waits ends the player
# through the close sequence.
mkdir -p "$work/missing"
printf '[Main]\nMainPath=%s/\n[Default]\nTrack1=gone.%s\n' "$work/missing" "$ext" > "$work/missing/Playlist.ini"
printf '[General]\nPath=%s\nShuffle=1\nPanel=\n' "$work/missing" > "$settings"
"$PLAYER" > "$work/player4.log" 2>&1 &
player_pid=$!
have_box() { [ -n "$(find_box)" ]; }
if wait_for 30 have_box; then
  box=$(find_box)
  sleep 0.3
  shot e2e-10-message-box
  caption=$(xprop -id "$box" _NET_WM_NAME | sed -n 's/^[^"]*"\(.*\)"$/\1/p')
  log "message box: caption '$caption'"
  [ "$caption" = "Confirm" ] || fail "the box's caption is '$caption', not 'Confirm'"
else
  fail "no message box for the missing track"
fi
kill -TERM "$player_pid"
if e2e_ended "$player_pid" 30; then
  player_pid=""
  [ "$code" -eq 0 ] || fail "exit code $code after SIGTERM during the box"
  grep -qx 'Shuffle=1' "$settings" && grep -qx 'Panel=0' "$settings" \
    || fail "SIGTERM during the box did not write the settings: $(cat "$settings")"
else
  fail "SIGTERM during the box did not end the player"
fi

if [ "$failures" -gt 0 ]; then
  log "$failures failure(s); player output:"; cat "$work/player.log" "$work/player2.log" "$work/player3.log" "$work/player4.log" 2>/dev/null
  exit 1
fi
log "end-to-end run passed; screenshots in $ART"
