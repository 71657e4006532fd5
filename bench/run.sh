#!/usr/bin/env bash
# Times the converter on every benchmark polygon and prints a Markdown table.
#
#   bench/run.sh [--quick] [--families LIST] [--runs N] [--timeout SECONDS]
#
# --quick          sizes up to 100,000 only
# --families LIST  comma-separated, from: random-star,comb,spiral,staircase,collinear
# --runs N         runs per case (default 5); the table gives the median
# --timeout S      limit of one run in seconds (default 30)
#
# Each case is run up to N times, but another run is started only while the
# runs so far plus one more as long as the last stay within the timeout, so a
# slow case costs about one timeout at most; the "runs" column says how many
# runs the median is taken over. A run past the timeout is killed and the case
# reads "timeout"; larger sizes of that family are then skipped.
set -euo pipefail
# shellcheck source=bench/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

quick=0
runs=5
timeout_seconds=30
families=("${benchmark_families[@]}")

usage() {
  # The comment block at the top of this file.
  awk '/shellcheck/ { next } NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' \
    "${BASH_SOURCE[0]}" >&2
  exit 2
}

while [[ $# -gt 0 ]]; do
  case "$1" in
    --quick) quick=1 ;;
    --families)
      [[ $# -ge 2 ]] || usage
      IFS=, read -r -a families <<<"$2"
      shift
      ;;
    --runs)
      [[ $# -ge 2 && "$2" =~ ^[1-9][0-9]*$ ]] || usage
      runs="$2"
      shift
      ;;
    --timeout)
      [[ $# -ge 2 && "$2" =~ ^[0-9]+(\.[0-9]+)?$ ]] || usage
      timeout_seconds="$2"
      shift
      ;;
    *) usage ;;
  esac
  shift
done
for family in "${families[@]}"; do
  [[ " ${benchmark_families[*]} " == *" $family "* ]] || {
    echo "unknown family: $family" >&2
    usage
  }
done

sizes_of() {  # FAMILY
  if [[ "$1" == collinear ]]; then
    echo 1000 10000 20000  # quadratic by nature of the cut rule
  elif ((quick)); then
    echo 1000 10000 100000
  else
    echo 1000 10000 100000 1000000
  fi
}

median() {  # VALUES...
  printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END {
    if (NR % 2) print v[(NR + 1) / 2]; else printf "%.6f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

maximum() {  # VALUES...
  printf '%s\n' "$@" | sort -g | tail -n 1
}

format_seconds() {  # SECONDS
  awk -v s="$1" 'BEGIN {
    if (s < 0.01) printf "%.2f ms", s * 1000
    else if (s < 1) printf "%.1f ms", s * 1000
    else printf "%.2f s", s }'
}

format_bytes() {  # BYTES
  awk -v b="$1" 'BEGIN {
    if (b < 1048576) printf "%.1f KiB", b / 1024; else printf "%.1f MiB", b / 1048576 }'
}

format_per_vertex() {  # SECONDS VERTEX_COUNT
  awk -v s="$1" -v n="$2" 'BEGIN {
    us = s * 1e6 / n; if (us < 10) printf "%.2f µs", us; else printf "%.0f µs", us }'
}

# Copies the input into a fresh scratch directory: the cost of starting a
# process, reading the input and writing a file of its size, the least any
# conversion of it can cost.
copy_floor() {  # INPUT
  local walls=() run
  for ((run = 0; run < runs; run++)); do
    fresh_directory "$scratch_dir"
    measure_once "$scratch_dir" "$timeout_seconds" cp "$1" input.txt
    [[ -z "$(run_failure)" ]] || {
      echo "copy failed: $(run_failure)" >&2
      return 1
    }
    walls+=("$measured_wall")
  done
  median "${walls[@]}"
}

# Sets case_walls, case_peaks, case_failure and case_reported for the
# converter on INPUT. Exit status 1 with the outputs written is a conversion
# that reported a problem of its input (an outline that crosses itself, say):
# it is timed like any other, and marked.
time_converter() {  # INPUT
  local elapsed=0 run
  case_walls=() case_peaks=() case_failure="" case_reported=""
  for ((run = 0; run < runs; run++)); do
    if ((run > 0)) && awk -v e="$elapsed" -v w="$measured_wall" -v t="$timeout_seconds" \
      'BEGIN { exit !(e + w > t) }'; then
      break
    fi
    fresh_directory "$scratch_dir"
    measure_once "$scratch_dir" "$timeout_seconds" "$converter" "$1" poly.hf
    case_failure="$(run_failure)"
    if [[ "$case_failure" == "exit 1" && -f "$scratch_dir/Formula.txt" ]]; then
      case_failure="" case_reported="*"
    fi
    [[ -z "$case_failure" ]] || return 0
    case_walls+=("$measured_wall")
    case_peaks+=("$measured_peak_kib")
    elapsed="$(awk -v e="$elapsed" -v w="$measured_wall" 'BEGIN { print e + w }')"
  done
}

mkdir -p "$results_dir"
scratch_dir="$results_dir/scratch"
echo "building the converter and tools in Release ($build_dir)..." >&2
build_tools
fresh_directory "$scratch_dir"
file_system="$(check_scratch_file_system "$scratch_dir")"

echo "generating polygons into $polygon_dir..." >&2
for family in "${families[@]}"; do
  for n in $(sizes_of "$family"); do
    ensure_polygon "$family" "$n"
  done
done

commit="$(git -C "$repository_dir" rev-parse --short HEAD 2>/dev/null || echo unknown)"
if [[ -n "$(git -C "$repository_dir" status --porcelain --untracked-files=no 2>/dev/null)" ]]; then
  commit="$commit (with uncommitted changes)"
fi
table="$results_dir/table.md"
{
  echo "Converter at $commit, $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores," \
    "scratch on $file_system; wall time: median of up to $runs runs (timeout ${timeout_seconds} s" \
    "per run); peak memory: largest of those runs; copy floor: median of $runs copies;" \
    "* the converter reported a problem of the input (exit status 1) after writing every output."
  echo
  echo "| family | n | input size | copy floor | polyfrep median wall | runs | peak memory | time per vertex |"
  echo "|---|---:|---:|---:|---:|---:|---:|---:|"
} | tee "$table"

for family in "${families[@]}"; do
  skip_reason=""
  for n in $(sizes_of "$family"); do
    input="$(polygon_path "$family" "$n")"
    size="$(format_bytes "$(stat -c %s "$input")")"
    floor="$(format_seconds "$(copy_floor "$input")")"
    if [[ -n "$skip_reason" ]]; then
      row="| $family | $n | $size | $floor | skipped ($skip_reason) | 0 | – | – |"
    else
      echo "timing $family n=$n..." >&2
      time_converter "$input"
      if [[ -n "$case_failure" ]]; then
        outcome="failed: $case_failure"
        [[ "$case_failure" != timeout ]] || outcome="timeout (> ${timeout_seconds} s)"
        row="| $family | $n | $size | $floor | $outcome | ${#case_walls[@]} | – | – |"
        skip_reason="n=$n: $case_failure"
      else
        wall="$(median "${case_walls[@]}")"
        peak_kib="$(maximum "${case_peaks[@]}")"
        row="| $family | $n | $size | $floor | $(format_seconds "$wall")$case_reported | ${#case_walls[@]} | $(format_bytes $((peak_kib * 1024))) | $(format_per_vertex "$wall" "$n") |"
      fi
    fi
    echo "$row" | tee -a "$table"
  done
done
rm -rf "$scratch_dir"
echo >&2
echo "table saved to $table" >&2
