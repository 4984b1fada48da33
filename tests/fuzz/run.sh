#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a bounded time with a fixed seed,
# starting from a corpus made of the bundled example and small fixtures. Fails on any
# finding. Usage: tests/fuzz/run.sh [SECONDS_PER_TARGET] (default 20).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
seconds="${1:-20}"
build="$root/build-fuzz"
cmake -S "$root/tests/fuzz" -B "$build" -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j2 >/dev/null

corpus="$build/corpus"
rm -rf "$corpus"
mkdir -p "$corpus"/{body,capture,motion,getstring,paths}
cp "$root"/examples/*.bod "$corpus/body/"
printf 'bgnsite\nname a\nxfm 1 2 3 4 5 6\nendsite\nbgnsite\nname a\nendsite\n' >"$corpus/body/repeat"
cp "$root"/examples/walk.cap "$corpus/capture/"
printf 'bgninput\nfilename walk.dat\nendinput\nobject joint body.hip\ncapture hip 1 4\nbgntracks\nxpos\nzrot\nxrot\nyrot\nendtracks\n' >"$corpus/capture/small"
head -c 4000 "$root"/examples/walk.dat >"$corpus/motion/example"
printf '1 2 3 4 5 6\n1e3 -inf nan(1) 0x1p3 +.5 1e 5\n\r\n' >"$corpus/motion/odd"
printf ' abc def\n' >"$corpus/getstring/blank"
printf ',  x,, y' >"$corpus/getstring/comma"
printf 'a/b/x.mtl' >"$corpus/paths/mtl"
printf 'chair.obj' >"$corpus/paths/obj"
printf 'walk.bod' >"$corpus/paths/bod"

status=0
for target in body capture motion getstring paths; do
  log="$build/fuzz_$target.log"
  # The run keeps its joints until the process ends, by design: no leak checking there.
  if ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1 \
    "$build/fuzz_$target" -seed=1 -max_total_time="$seconds" -max_len=4096 \
    -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    "$corpus/$target" >"$log" 2>&1; then
    echo "fuzz_$target: clean, $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$') executions"
  else
    echo "fuzz_$target: FINDING (see $log)"
    tail -30 "$log"
    status=1
  fi
done
exit $status
