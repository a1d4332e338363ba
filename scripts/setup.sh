#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Tunora need.
# Idempotent: it asks dpkg what is present and only calls apt-get (and only then
# `apt-get update`) when something is missing. Works as root or through sudo.
set -euo pipefail

# Why each package is here (a package is added only where a well-kept library
# does the job better than our own code would):
PACKAGES=(
  # build
  build-essential cmake ninja-build pkg-config ccache clang lld
  python3                         # data-file checks run as tests
  libclang-rt-14-dev              # sanitizer and libFuzzer runtimes for the clang presets
  # XML files (settings, strings, playlists, skins)
  libxml2-dev
  # text: glyph rendering, font lookup, Japanese/Chinese-capable faces
  libfreetype-dev libfontconfig-dev fonts-noto-cjk
  # skin and snapshot images
  libpng-dev libjpeg-dev
  # real display, touch/keyboard input and audio output
  libsdl2-dev
  # transport-stream decoding and muxing, and the ffmpeg program for test media
  libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev ffmpeg
  # ARIB captions
  libaribb24-dev
  # scheduler reservation database
  libsqlite3-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # test oracles only (never linked into a deliverable): PSI/SI tables, AES
  libdvbpsi-dev libssl-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then SUDO="sudo"; else
    echo "setup: missing packages (${missing[*]}) and not root; install them or run with sudo" >&2
    exit 1
  fi
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
