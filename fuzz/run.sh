#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a while (seconds,
# default 30) on a copy of the seed corpus. A crash fails the run; the
# crashing input is printed (Base64) in the fuzzer's last lines.
#   bash fuzz/run.sh [seconds]
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
SECONDS_PER_TARGET=${1:-30}
BUILD=${FUZZ_BUILD_DIR:-$HERE/../build-fuzz}
cmake -S "$HERE" -B "$BUILD" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$BUILD"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cp -r "$HERE/corpus" "$WORK/corpus"
cd "$WORK"
"$BUILD/fuzz_lineprotocol" -max_total_time="$SECONDS_PER_TARGET" -max_len=4096 \
  -print_final_stats=1 corpus 2>&1 | tail -n 20
echo "fuzz_lineprotocol: no crash in ${SECONDS_PER_TARGET}s"
