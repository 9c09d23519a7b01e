#!/usr/bin/env bash
# Builds the fuzz targets (in the sanitized tree, build-asan, see
# scripts/setup.sh) and runs each for a while (seconds, default 30) on a
# copy of its seed corpus, with the shared dictionary and its own. A crash,
# a leak or a broken invariant fails the run; the input that did it is
# printed (Base64) in the fuzzer's last lines and kept in
# $FUZZ_ARTIFACTS (default build-asan/fuzz/artifacts).
#   bash fuzz/run.sh [seconds] [target...]      e.g. bash fuzz/run.sh 60 profiles
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
source "$HERE/../scripts/setup.sh"
SECONDS_PER_TARGET=${1:-30}
shift || true
TARGETS=("$@")
if [ ${#TARGETS[@]} -eq 0 ]; then
  TARGETS=(lineprotocol serviceclient requestserver requestsocket loglistener config profiles
           webapi download logparse logo)
fi

configure_sanitized >/dev/null
cmake --build "$SANITIZE_BUILD_DIR" --target orvo_fuzz -j "$JOBS"
BIN="$SANITIZE_BUILD_DIR/fuzz"
ARTIFACTS=${FUZZ_ARTIFACTS:-$BIN/artifacts}
mkdir -p "$ARTIFACTS"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

for target in "${TARGETS[@]}"; do
  sanitizer_env
  # Qt's JSON parser and its HTTP reply leak (scripts/lsan-functions.supp),
  # and the leak checker sees whose leak it is only when it unwinds through
  # Qt at every allocation, which costs five to twenty times the speed.
  case "$target" in
    lineprotocol|requestserver|serviceclient|requestsocket|loglistener)
      # No leak check: they read into values and short-lived objects whose
      # life the test suite checks; speed finds more here.
      export ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0" LSAN_OPTIONS="" ;;
    download|logparse|logo)
      # No JSON read: the suite's settings do.
      ;;
    *)
      export LSAN_OPTIONS="suppressions=$ROOT/scripts/lsan-functions.supp:fast_unwind_on_malloc=0:print_suppressions=0" ;;
  esac
  cp -r "$HERE/corpus/$target" "$WORK/$target"
  cat "$HERE/dict/common.dict" "$HERE/dict/$target.dict" > "$WORK/$target.dict"
  log="$WORK/$target.log"
  if ! (cd "$WORK" && "$BIN/fuzz_$target" -max_total_time="$SECONDS_PER_TARGET" \
        -max_len=8192 -timeout=60 -rss_limit_mb=4096 -dict="$WORK/$target.dict" \
        -artifact_prefix="$ARTIFACTS/$target-" -print_final_stats=1 \
        "$WORK/$target" >"$log" 2>&1); then
    tail -n 80 "$log"
    echo "fuzz_$target: FAILED (input kept under $ARTIFACTS)"
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "fuzz_$target: no crash in ${SECONDS_PER_TARGET}s, ${runs:-?} runs"
done
