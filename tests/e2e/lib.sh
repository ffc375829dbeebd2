# The set-up the end-to-end scripts share; source it first:
#   . "$(dirname "$0")/lib.sh"
#   e2e_require TOOL...  exit 77 (skipped) when one of them is not installed
#   e2e_init NAME      a work folder $work (music/, config/Velkor/Aubadine/, run/) that is
#                      also HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR; failures=0; a trap
#                      that on exit ends every process the script started in the background
#                      (the latest first) and removes $work
#   e2e_start_display  Xvfb on a free display, exports DISPLAY (sets xvfb_pid)
#   e2e_start_bus      a private D-Bus session bus, once it accepts connections; prints
#                      nothing, sets bus_pid and bus_address (not exported)
#   e2e_ended PID SECONDS  true once the process has ended (its exit status in $code),
#                      false if it is still running after SECONDS
#   log, fail, wait_for SECONDS COMMAND..., e2e_end PID
# Limits are generous: on a loaded 2-core machine a server can take seconds to come up.

log() { echo "[$(date +%T.%3N)] $*"; }
fail() { log "FAIL: $*"; failures=$((failures + 1)); }

wait_for() {  # $1 seconds, $2.. command: true once the command is, false after $1 s
  local limit=$(( $1 * 10 )) _; shift
  for _ in $(seq "$limit"); do "$@" && return 0; sleep 0.1; done
  return 1
}

e2e_require() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/install-deps.sh)"; exit 77; }
  done
}

# Whether a process is there and not a zombie.
e2e_alive() {
  local state
  state=$(sed 's/^.*) //' "/proc/$1/stat" 2>/dev/null | cut -d' ' -f1)
  [ -n "$state" ] && [ "$state" != Z ]
}

# Ends a process the script started: SIGTERM, SIGKILL if it is still there after 10 s.
e2e_end() {
  [ -n "$1" ] || return 0
  if kill "$1" 2>/dev/null; then
    wait_for 10 eval "! e2e_alive $1" || kill -KILL "$1" 2>/dev/null
  fi
  wait "$1" 2>/dev/null
  return 0
}

e2e_ended() {
  wait_for "$2" eval "! e2e_alive $1" || return 1
  wait "$1"
  code=$?
  return 0
}

e2e_cleanup() {
  # A forked child that dies before it runs its program would run this trap too.
  [ "$BASHPID" = "$$" ] || return 0
  local pids pid
  pids=$(jobs -p)
  for pid in $(printf '%s\n' $pids | tac); do e2e_end "$pid"; done
  rm -rf "$work"
}

e2e_init() {  # $1: a name for the work folder
  work=$(mktemp -d "/tmp/aubadine-$1.XXXXXX") || { echo "FAIL: no temporary folder"; exit 1; }
  mkdir -p "$work/music" "$work/config/Velkor/Aubadine" "$work/run"
  chmod 700 "$work/run"
  failures=0
  xvfb_pid="" bus_pid="" bus_address=""
  export HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run"
  trap e2e_cleanup EXIT
}

# -noreset: without it the server resets when its last client leaves (between two players,
# say), and a client that connects in that moment finds no display. -displayfd makes the
# server choose a free display number and write it once it accepts connections.
e2e_start_display() {
  exec 3> "$work/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset > "$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  exec 3>&-
  if ! wait_for 30 test -s "$work/display"; then
    echo "FAIL: Xvfb gave no display in 30 s: $(cat "$work/xvfb.log")"
    exit 1
  fi
  export DISPLAY=":$(head -n1 "$work/display")"
}

# The daemon prints its address once it listens, so a client started after this connects.
e2e_start_bus() {
  rm -f "$work/bus" "$work/bus.address"
  dbus-daemon --session --nofork --nopidfile --address="unix:path=$work/bus" --print-address=1 \
    > "$work/bus.address" 2> "$work/bus.log" &
  bus_pid=$!
  if ! wait_for 20 test -s "$work/bus.address"; then
    log "dbus-daemon gave no address in 20 s: $(cat "$work/bus.log")"
    return 1
  fi
  bus_address="unix:path=$work/bus"
}
