#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer + UndefinedBehaviorSanitizer) in
# build-fuzz/ and runs each from its seed corpus in fuzz/corpus/<target>/:
#   scripts/fuzz.sh --short            a fixed number of inputs per target (about 15 s each
#                                      here, at most 30 s), fixed seed, from the seed corpus
#                                      alone: the same inputs on every machine (the test
#                                      command's run)
#   scripts/fuzz.sh --long [SECONDS]   SECONDS per target (default 600), random seed
#   scripts/fuzz.sh ... TARGET...      only the targets named (fuzz_mesh, fuzz_warp, fuzz_scene,
#                                      fuzz_image)
# New inputs go to build-fuzz/corpus/<target>/, never into the repository; a crash, hang or
# sanitizer report leaves the input in build-fuzz/artifacts/ and makes the script exit 1.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

mode=${1:---short}
shift || true
case "$mode" in
  --short) seconds=30; seed=1 ;;
  --long)
    seconds=600
    if [[ ${1:-} =~ ^[0-9]+$ ]]; then seconds=$1; shift; fi
    seed=0 ;;  # 0: libFuzzer picks one and prints it
  *) echo "usage: scripts/fuzz.sh --short | --long [SECONDS] [TARGET...]" >&2; exit 2 ;;
esac

build="$root/build-fuzz"
CC=clang CXX=clang++ cmake -S . -B "$build" -DVORLIN_FUZZ=ON -DVORLIN_BENCH=OFF \
   -DCMAKE_BUILD_TYPE=Release >/dev/null || exit 1
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  defined=$(cmake --build "$build" --target help | sed -n 's/^\.\.\. \(fuzz_[a-z]*\).*/\1/p')
  for dir in fuzz/corpus/*/; do
    t=$(basename "$dir")
    # A target the build does not define (the renderer's scene code missing) is left out.
    if grep -qx "$t" <<<"$defined"; then targets+=("$t"); fi
  done
fi
cmake --build "$build" -j2 --target "${targets[@]}" || exit 1

mkdir -p "$build/artifacts"
# Inputs per target in the short run, sized for about 15 s each on a 2-core machine.
short_runs() {
  case "$1" in
    fuzz_image|fuzz_mesh) echo 40000 ;;
    *) echo 200000 ;;
  esac
}

failed=()
for t in "${targets[@]}"; do
  work="$build/corpus/$t"
  limit=()
  if [ "$mode" = --short ]; then
    rm -rf "$work"  # what an earlier run found would change the sequence of inputs
    limit=(-runs="$(short_runs "$t")")
  fi
  mkdir -p "$work"
  log="$build/artifacts/$t.log"
  dict=()
  if [ -f "fuzz/$t.dict" ]; then dict=(-dict="fuzz/$t.dict"); fi
  printf '== %s: at most %s s\n' "$t" "$seconds"
  # -timeout flags an input that runs over 10 s as a hang; -rss_limit_mb a runaway allocation.
  ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$build/fuzz/$t" -seed="$seed" -max_total_time="$seconds" "${limit[@]}" -timeout=10 \
      -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 "${dict[@]}" \
      -artifact_prefix="$build/artifacts/$t-" "$work" "fuzz/corpus/$t" >"$log" 2>&1
  status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  printf '   %s executions, exit %s (log: %s)\n' "${runs:-?}" "$status" "$log"
  if [ "$status" -ne 0 ]; then
    grep -E 'ERROR|runtime error|fuzz:|Test unit written' "$log" | head -20
    failed+=("$t")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failures in ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: every target ran clean"
