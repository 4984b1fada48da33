#!/usr/bin/env bash
# Builds the libFuzzer targets in their own folder (clang++, TRELVIN_FUZZ=ON) and runs each
# for a bounded time with a fixed seed, two at a time. Any finding (a sanitizer report, a
# failed property, a timeout, running out of memory) fails the script; the input that
# caused it is left in the folder's artifacts/ and the log in logs/.
#
#   tests/fuzz/run.sh [SECONDS] [TARGET...]     default: every target, for 30 seconds each
#                                               (10 for getstring and fileinfo, which
#                                               run a hundred times faster)
#
# The corpus each target grows stays in the folder's corpus/, so a later run goes on from
# it. FUZZ_BUILD names the folder (default build-fuzz), FUZZ_JOBS the number of targets
# run at once (default 2).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(mkdir -p "${FUZZ_BUILD:-$root/build-fuzz}" && cd "${FUZZ_BUILD:-$root/build-fuzz}" && pwd)
seconds=
if [[ ${1:-} =~ ^[0-9]+$ ]]; then
  seconds=$1
  shift
fi
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_body fuzz_capture fuzz_motion fuzz_layout fuzz_getstring fuzz_fileinfo)
jobs=${FUZZ_JOBS:-2}

cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTRELVIN_FUZZ=ON -DTRELVIN_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}" gen_take >/dev/null

# Seed corpora: the committed seeds, the example, and a generated 60-joint take with odd
# tokens.
seeds=$build/seeds
rm -rf "$seeds" "$build/logs"
mkdir -p "$seeds" "$build/logs" "$build/artifacts" "$build/take"
"$build/bin/gen_take" "$build/take" 40 odd >/dev/null
for t in fuzz_body fuzz_capture fuzz_motion fuzz_layout fuzz_getstring fuzz_fileinfo; do
  mkdir -p "$seeds/$t" "$build/corpus/$t"
  cp "$root"/tests/fuzz/seeds/$t/* "$seeds/$t/"
done
{ cat "$root/examples/old.bod"; printf '\0'; cat "$root/examples/new.bod"; } >"$seeds/fuzz_body/example"
{ cat "$build/take/old.bod"; printf '\0'; cat "$build/take/new.bod"; } >"$seeds/fuzz_body/take"
cp "$root/examples/walk.cap" "$seeds/fuzz_capture/example"
sed 's/take\.dat/walk.dat/' "$build/take/take.cap" >"$seeds/fuzz_capture/take"
cp "$root/examples/walk.dat" "$seeds/fuzz_motion/example"
cp "$root/examples/walk.dat" "$seeds/fuzz_layout/example"
head -c 12000 "$build/take/take.dat" >"$seeds/fuzz_motion/take"
head -n 3 "$root/examples/walk.cap" | tail -n 1 >"$seeds/fuzz_getstring/filename-line"

max_len() {
  case $1 in
    fuzz_motion) echo 16384 ;;
    fuzz_body | fuzz_capture) echo 8192 ;;
    fuzz_fileinfo) echo 5000 ;;
    *) echo 4096 ;;
  esac
}

seconds_for() {
  if [ -n "$seconds" ]; then echo "$seconds"; return; fi
  case $1 in
    fuzz_getstring | fuzz_fileinfo) echo 10 ;;
    *) echo 30 ;;
  esac
}

run_target() {
  local t=$1 status=0
  "$build/bin/$t" -seed=1 -max_total_time="$(seconds_for "$t")" -timeout=10 -rss_limit_mb=2048 \
    -max_len="$(max_len "$t")" -print_final_stats=1 -artifact_prefix="$build/artifacts/$t-" \
    "$build/corpus/$t" "$seeds/$t" >"$build/logs/$t.log" 2>&1 || status=$?
  echo $status >"$build/logs/$t.status"
}

for t in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  run_target "$t" &
done
wait

failed=0
for t in "${targets[@]}"; do
  if [ "$(cat "$build/logs/$t.status")" = 0 ]; then
    runs=$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$build/logs/$t.log")
    echo "$t: ${runs:-?} executions in $(seconds_for "$t") s, no finding"
  else
    failed=1
    echo "$t: FINDING (log: $build/logs/$t.log)"
    grep -E "ERROR|PROPERTY|SUMMARY|Test unit written" "$build/logs/$t.log" | head -n 8 || true
  fi
done
exit $failed
