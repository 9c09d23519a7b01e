# Shared by scripts/run and scripts/test: installs what is missing and
# builds the project. Sourced, not run.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build}
SANITIZE_BUILD_DIR=${SANITIZE_BUILD_DIR:-$ROOT/build-asan}
JOBS=${JOBS:-$(nproc 2>/dev/null || echo 2)}

PACKAGES=(
  g++ cmake ninja-build pkg-config
  qtbase5-dev libqt5webkit5-dev zlib1g-dev qttools5-dev qttools5-dev-tools qttranslations5-l10n
  libbenchmark-dev clang clang-format libclang-rt-14-dev curl git
  fonts-dejavu-core xvfb xauth openssl ca-certificates procps locales
)

install_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  local sudo=""
  [ "$EUID" -eq 0 ] || sudo="sudo"
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
  install_test_locale
}

# Whether the system has the locale, as named in LANG (de_DE.UTF-8): "locale
# -a" lists it as de_DE.utf8. No command substitution: scripts/run calls it
# in the shell that traps the signals.
has_locale() {
  local codeset=${1#*.}
  codeset=${codeset//-/}
  codeset=${codeset,,}
  locale -a 2>/dev/null | grep -xF "${1%%.*}.$codeset" >/dev/null
}

# Generates TEST_LOCALE (e.g. de_DE.UTF-8), in which scripts/test runs the
# suite, when the system does not have it yet. The name carries its codeset,
# which locale.gen needs beside it; C and POSIX are always there.
install_test_locale() {
  [ -n "${TEST_LOCALE:-}" ] || return 0
  case $TEST_LOCALE in C | POSIX) return 0 ;; esac
  if ! [[ $TEST_LOCALE =~ ^[A-Za-z_]+\.[A-Za-z0-9-]+$ ]]; then
    echo "TEST_LOCALE names a locale with its codeset, as de_DE.UTF-8; not $TEST_LOCALE." >&2
    return 1
  fi
  has_locale "$TEST_LOCALE" && return 0
  echo "Generating the locale $TEST_LOCALE"
  local sudo=""
  [ "$EUID" -eq 0 ] || sudo="sudo"
  local entry="$TEST_LOCALE ${TEST_LOCALE#*.}"
  if grep -xF "# $entry" /etc/locale.gen >/dev/null 2>&1; then
    $sudo sed -i "s/^# $entry\$/$entry/" /etc/locale.gen
  else
    echo "$entry" | $sudo tee -a /etc/locale.gen >/dev/null
  fi
  $sudo locale-gen >/dev/null
  has_locale "$TEST_LOCALE" || { echo "The locale $TEST_LOCALE could not be generated." >&2; return 1; }
}

build_project() {
  local werror=OFF
  [ "${CI:-}" = "true" ] && werror=ON
  cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVO_WERROR=$werror
  cmake --build "$BUILD_DIR" -j "$JOBS"
}

# The second tree of CI: clang, ASan+UBSan, the fuzz targets, no benchmarks.
# -O1 with line tables keeps it quick to build and its reports readable.
configure_sanitized() {
  local werror=OFF
  [ "${CI:-}" = "true" ] && werror=ON
  local flags="-O1 -gline-tables-only -DNDEBUG"
  cmake -S "$ROOT" -B "$SANITIZE_BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="$flags" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$flags" \
    -DORVO_SANITIZE=address,undefined -DORVO_FUZZ=ON -DORVO_BUILD_BENCH=OFF -DORVO_WERROR=$werror
}

# Run-time options of the sanitized programs. Leaks count as failures; the
# only ones suppressed are Qt's own (scripts/lsan.supp), by library (or by
# the zlib function whose stream Qt leaves unended), and only blocks the
# library allocated itself: each allocation keeps two frames, the allocator
# and its caller (malloc_context_size=2), so a library name cannot match
# the frames of Qt that call into our code. Reports show that one frame of
# the allocation and of the release; for a whole stack, run
# the one test again with LSAN_OPTIONS=malloc_context_size=30 (and no
# suppressions: they would match any frame then). The address sanitizer's
# own suppressions (scripts/asan.supp) are system libraries' reports only.
# Under an X server the windows draw without OpenGL: Mesa's driver, which
# Qt's GLX integration loads, keeps blocks past its unloading at exit,
# where no suppression can name it.
sanitizer_env() {
  export ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1:check_initialization_order=1:suppressions=$ROOT/scripts/asan.supp"
  export LSAN_OPTIONS="suppressions=$ROOT/scripts/lsan.supp:malloc_context_size=2:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  export QT_XCB_GL_INTEGRATION=none
}
