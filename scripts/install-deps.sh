#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Aubadine needs.
# Idempotent; run as root (or through sudo) on a fresh Debian 12 machine.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config git clang libclang-rt-14-dev
  # UI toolkit
  qt6-base-dev libgl-dev libxcb1-dev
  # audio library stand-in: output, decoding, modules, CD, FFT
  libsdl2-dev libavformat-dev libavcodec-dev libavutil-dev libswresample-dev
  libopenmpt-dev libcdio-dev libcdio-cdda-dev libcdio-paranoia-dev libdiscid-dev libfftw3-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev libtag1-dev
  # end-to-end tests: virtual display, tray host, input and screenshots, sound analysis
  xvfb xauth xdotool imagemagick trayer x11-utils sox dbus-daemon ffmpeg
  # network stream tests: an FTP server and a streaming server, started by the tests
  python3-pyftpdlib icecast2
  # the desktop remote control's test: a session bus and its clients
  dbus-bin libglib2.0-bin playerctl
)

# Peers that the benchmarks measure against (scripts/install-deps.sh --bench).
bench_packages=(ffmpeg mpv hyperfine)
[ "${1:-}" = "--bench" ] && packages+=("${bench_packages[@]}")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages present"
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
echo "install-deps: installed ${missing[*]}"
