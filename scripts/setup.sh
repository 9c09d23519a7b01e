# Shared by scripts/run and scripts/test: installs what is missing and
# builds the project. Sourced, not run.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build}
JOBS=${JOBS:-$(nproc 2>/dev/null || echo 2)}

PACKAGES=(
  g++ cmake ninja-build pkg-config
  qtbase5-dev libqt5webkit5-dev qttools5-dev qttools5-dev-tools qttranslations5-l10n
  libbenchmark-dev clang clang-format libclang-rt-14-dev curl git
  fonts-dejavu-core xvfb xauth openssl ca-certificates procps
)

install_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build_project() {
  local werror=OFF
  [ "${CI:-}" = "true" ] && werror=ON
  cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVO_WERROR=$werror
  cmake --build "$BUILD_DIR" -j "$JOBS"
}
