# Shared by scripts/test and scripts/run: the Debian packages the build needs,
# installed when missing (only possible as root; otherwise listed and we go on).

ENGINE_PACKAGES=(
  cmake g++ make clang clang-format libclang-rt-14-dev ccache pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  zlib1g-dev libpng-dev libjpeg-dev libtiff-dev
  libfreetype-dev fonts-dejavu-core libpng-tools
  libglm-dev libpixman-1-dev libimagequant-dev
  libsquish-dev libavformat-dev libavcodec-dev libswscale-dev libavutil-dev imagemagick
  locales
)

engine_install_packages() {
  local missing=() p
  for p in "${ENGINE_PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
  else
    echo "Missing packages (run as root to install): ${missing[*]}" >&2
  fi
}

engine_jobs() {
  nproc 2>/dev/null || echo 2
}
