#!/usr/bin/env bash
# Sets up and runs the player on the built-in demo playlist: installs the Debian packages,
# builds the player, its audio libraries and the demo (four short tones in MP3, Ogg Vorbis,
# WAV and a tracker module, written by code into build/demo), then starts Lirren with its
# settings pointing there. The tracks play in turn until the player is ended (tray menu
# "Выход", or Ctrl+C here).
#
#   scripts/run-demo.sh            build and run
#   scripts/run-demo.sh --no-deps  skip the package installation
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build"

if [ "${1:-}" != "--no-deps" ]; then
  bash "$root/scripts/install-deps.sh"
fi

cmake -S "$root" -B "$build" -G Ninja
cmake --build "$build" -j2 --target Lirren bass basswma basscd demo

# The player reads its settings from $XDG_CONFIG_HOME/Velkor/Aubadine/1.0.ini; the demo's
# own settings file names build/demo as the folder of Playlist.ini.
export XDG_CONFIG_HOME="$build/demo/config"
echo "run-demo: playing the tracks of $build/demo/Playlist.ini"
exec "$build/bin/Lirren"
