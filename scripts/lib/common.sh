# Shared by scripts/test, scripts/run and scripts/bench: the Debian 12
# packages the build needs, installed when missing (only possible as root;
# otherwise listed and we go on), the number of parallel jobs, and a private
# temporary folder that is removed however the script ends.

ENGINE_PACKAGES=(
  cmake g++ make clang clang-format libclang-rt-14-dev ccache pkg-config
  libgtest-dev
  zlib1g-dev libpng-dev libjpeg-dev libtiff-dev
  libwebp-dev liblerc-dev libjbig-dev libzstd-dev liblzma-dev libdeflate-dev libbrotli-dev
  libfreetype-dev fonts-dejavu-core libpng-tools
  libsquish-dev libavformat-dev libavcodec-dev libswscale-dev libavutil-dev imagemagick
  locales libmeshoptimizer-dev
  nlohmann-json3-dev libassimp-dev assimp-testmodels libstb-dev
)

# Google Benchmark and the peers the benchmarks compare against: scripts/bench
# installs them, the other scripts never need them.
ENGINE_BENCH_PACKAGES=(
  libbenchmark-dev libglm-dev libpixman-1-dev libimagequant-dev assimp-utils time
)

# engine_install_packages <package>...
engine_install_packages() {
  local missing=() p
  for p in "$@"; do
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

# ENGINE_JOBS when it is a positive number, else every processor.
engine_jobs() {
  case "${ENGINE_JOBS:-}" in
    '' ) nproc 2>/dev/null || echo 2 ;;
    *[!0-9]* | 0* )
      echo "ENGINE_JOBS must be a positive number, not '$ENGINE_JOBS'" >&2
      return 1 ;;
    * ) echo "$ENGINE_JOBS" ;;
  esac
}

# engine_private_tmp <name>: points TMPDIR at a new folder inside the current
# one, so that whatever the programs leave there can be told apart from other
# processes' files, and removes it when the script exits, on success or not.
engine_private_tmp() {
  local outer="${TMPDIR:-/tmp}"
  ENGINE_PRIVATE_TMP=$(mktemp -d "$outer/$1.XXXXXX")
  export TMPDIR="$ENGINE_PRIVATE_TMP"
  trap 'rm -rf "$ENGINE_PRIVATE_TMP"' EXIT
}

# engine_tmp_leftovers: whatever is in the private temporary folder.
engine_tmp_leftovers() {
  find "$ENGINE_PRIVATE_TMP" -mindepth 1 -maxdepth 1 | sort
}

# engine_untracked <root>: files under the root that git does not know of,
# outside build/ (nothing when the tree is not a git checkout).
engine_untracked() {
  git -C "$1" rev-parse --is-inside-work-tree >/dev/null 2>&1 || return 0
  git -C "$1" status --porcelain --untracked-files=all --ignored 2>/dev/null |
    sed -n 's/^\(??\|!!\) //p' | grep -v '^build/' | sort || true
}
