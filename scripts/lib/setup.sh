# Shared by scripts/test and scripts/run: package installation, CMake configuration and the
# virtual display.

KOV_PACKAGES=(
  g++ cmake ninja-build pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libglib2.0-dev libplist-dev libsoup-3.0-dev libgdk-pixbuf-2.0-dev
  libcairo2-dev libpango1.0-dev fonts-liberation libgtk-3-dev libwebkit2gtk-4.1-dev
  libsdl2-dev libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
  xvfb xauth xdotool imagemagick
)

kov_install_packages() {
  local missing=()
  for p in "${KOV_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  ((${#missing[@]} == 0)) && return 0
  if [[ $(id -u) -ne 0 ]]; then
    echo "missing packages (install them as root): ${missing[*]}" >&2
    return 1
  fi
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

kov_configure() { # build-dir [cmake args...]
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
}

kov_xvfb() { # command [args...]: runs it on a virtual display of its own
  xvfb-run -a -s '-screen 0 1280x1024x24' "$@"
}
