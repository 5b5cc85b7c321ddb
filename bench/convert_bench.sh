#!/usr/bin/env bash
# Whole-program benchmark: lumetra converting a large measurement log (into a
# file, and into a pipe that cat reads), against the copy floor
# (bench/copy_floor.cpp: the source read in 1 MiB blocks and as many bytes as
# lumetra's target written, each byte touched once: what any converter must
# at least do), the same copy with the bytes read left alone (how close the
# floor comes to a plain copy), the line copy (bench/line_copy.cpp: every
# line found and moved behind a head, no field looked at: what handling the
# lines one by one costs before any conversion), cat copying the same file
# (inside the kernel where it can), dd copying it through a 64 KiB buffer and
# a mawk script doing the same conversion, and lumetra --check reading the
# log without writing.
# Builds lumetra (Release), generates a deterministic log of LINES lines (10
# million, about 240 MB, CR LF) once, then times the peers alternately, RUNS
# times each after one warm-up run, and prints the median times, lumetra's
# throughput, the ratios and the peak resident memory of the conversion and
# of the check.
#
# Usage: bench/convert_bench.sh [data folder]
#   With a folder, the log is kept there and reused by later runs; without
#   one, a temporary folder is used and removed at the end.
# Environment: LINES (10000000), RUNS (5), BUILD_DIR (build).
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
lines=${LINES:-10000000}
runs=${RUNS:-5}
build_dir=${BUILD_DIR:-build}

if [ $# -ge 1 ]; then
  data=$1
  mkdir -p "$data"
  data=$(cd "$data" && pwd)
else
  data=$(mktemp -d "${TMPDIR:-/tmp}/lumetra-bench.XXXXXX")
  trap 'rm -rf "$data"' EXIT
fi
log=$data/pv-bench-$lines.csv

build_lumetra() {
  cd "$repo"
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build_dir" --target lumetra >/dev/null
  lumetra=$repo/$build_dir/lumetra
}

make_log() {
  [ -s "$log" ] && return
  echo "generating $lines lines into $log"
  c++ -std=c++20 -O2 -o "$data/make_bench_log" "$repo/bench/make_bench_log.cpp"
  "$data/make_bench_log" "$lines" "$log.part"
  mv "$log.part" "$log"
}

build_floor() {
  c++ -std=c++20 -O3 -march=native -o "$data/copy_floor" "$repo/bench/copy_floor.cpp"
  c++ -std=c++20 -O3 -march=native -o "$data/line_copy" "$repo/bench/line_copy.cpp"
}

# The peers. Each runs one conversion or copy of the log; add a peer by
# writing run_NAME and listing NAME in peers.
run_lumetra() { printf '%s\n%s\n' "$log" "$data/lumetra-out.txt" | "$lumetra" >/dev/null; }
# The floor writes what lumetra writes: target size over source size.
run_floor() { "$data/copy_floor" "$log" "$data/floor-out.txt" "$ratio"; }
# The same reads and writes with the bytes read left alone: how close the
# floor comes to a plain copy.
run_copy() { "$data/copy_floor" "$log" "$data/copy-out.txt" "$ratio" --untouched; }
# Each line moved behind a head and before a tail, nothing converted.
run_lines() { "$data/line_copy" "$log" "$data/lines-out.txt"; }
# The records to a pipe, which takes them in writes of at most 4096 bytes.
run_pipe() { "$lumetra" - - <"$log" 2>/dev/null | cat >/dev/null; }
run_cat() { cat "$log" >"$data/cat-out.csv"; }
run_dd() { dd if="$log" of="$data/dd-out.csv" bs=64K status=none; }
run_mawk() { mawk -f "$repo/bench/mawk_convert.awk" "$log" >"$data/mawk-out.txt"; }
# lumetra checking the log: the same reading and records, nothing written.
run_check() { "$lumetra" --check "$log" >/dev/null; }
peers=(lumetra pipe check floor copy lines cat dd)
command -v mawk >/dev/null && peers+=(mawk)

# Seconds one run of a peer takes: wall clock, user and system time (its
# processes' together), as "real/user/system".
time_run() {
  local TIMEFORMAT='%3R/%3U/%3S'
  rm -f "$data/$1-out."*  # every run writes a new file, as a day's conversion does
  { time "run_$1" 2>/dev/null; } 2>&1
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# The median of one field (1 real, 2 user, 3 system) of a peer's runs.
field_median() {
  # shellcheck disable=SC2046
  median $(printf '%s\n' $2 | cut -d/ -f"$1")
}

check_output() {
  local records
  records=$(wc -l <"$data/lumetra-out.txt")
  if [ "$records" -ne "$lines" ]; then
    echo "lumetra wrote $records records, expected $lines" >&2
    exit 1
  fi
}

build_lumetra
make_log
build_floor
run_lumetra  # warm-up: the log in the page cache, and the size of the target
check_output
ratio=$(awk -v out="$(stat -c %s "$data/lumetra-out.txt")" -v source="$(stat -c %s "$log")" 'BEGIN { print out / source }')
declare -A times
for peer in "${peers[@]}"; do "run_$peer"; done
for ((run = 1; run <= runs; run++)); do
  for peer in "${peers[@]}"; do times[$peer]+="$(time_run "$peer") "; done
done

bytes=$(stat -c %s "$log")
echo "log: $lines lines, $bytes bytes; median of $runs runs each, alternating"
declare -A medians
printf '%-8s %8s %8s %8s   %s\n' peer real user system "runs (real)"
for peer in "${peers[@]}"; do
  medians[$peer]=$(field_median 1 "${times[$peer]}")
  # shellcheck disable=SC2046
  printf '%-8s %8.3f %8.3f %8.3f   %s\n' "$peer" "${medians[$peer]}" "$(field_median 2 "${times[$peer]}")" \
    "$(field_median 3 "${times[$peer]}")" "$(printf '%s\n' ${times[$peer]} | cut -d/ -f1 | tr '\n' ' ')"
done
awk -v bytes="$bytes" -v own="${medians[lumetra]}" -v cat="${medians[cat]}" -v dd="${medians[dd]}" \
    -v floor="${medians[floor]}" -v copy="${medians[copy]}" -v lines="${medians[lines]}" -v mawk="${medians[mawk]:-0}" -v check="${medians[check]}" 'BEGIN {
  printf "lumetra  %8.1f MB/s\n", bytes / 1e6 / own
  printf "check    %8.2f x lumetra\n", check / own
  printf "floor    %8.2f x copy\n", floor / copy
  printf "lines    %8.2f x floor\n", lines / floor
  printf "ratio    %8.2f x floor\n", own / floor
  printf "ratio    %8.2f x cat\n", own / cat
  printf "ratio    %8.2f x dd\n", own / dd
  if (mawk > 0) printf "mawk     %8.2f x lumetra\n", mawk / own
}'
if [ "${medians[mawk]:-}" != "" ] && ! cmp -s "$data/mawk-out.txt" "$data/lumetra-out.txt"; then
  echo "note: mawk's output differs from lumetra's" >&2
fi
peak=$(printf '%s\n%s\n' "$log" "$data/lumetra-out.txt" | /usr/bin/time -f %M "$lumetra" 2>&1 >/dev/null | tail -n 1)
echo "lumetra peak resident memory: $peak KB"
peak=$(/usr/bin/time -f %M "$lumetra" --check "$log" 2>&1 >/dev/null | tail -n 1)
echo "check peak resident memory: $peak KB"
