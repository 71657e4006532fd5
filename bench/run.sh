#!/usr/bin/env bash
# Times the converter on every benchmark polygon and prints a Markdown table.
#
#   bench/run.sh [--quick] [--families LIST] [--runs N] [--timeout SECONDS]
#
# --quick          sizes up to 100,000 only (the coastlines keep their five countries)
# --families LIST  comma-separated, from: random-star,comb,spiral,staircase,
#                  collinear,coastline,valid-coastline,region
# --runs N         runs per case (default 5); the table gives the median
# --timeout S      limit of one run in seconds (default 30)
#
# Each case is run up to N times, each run of the converter after a run of the
# naive floor (polyfrep-naive-floor), but another pair is started only while
# the converter's runs so far plus one more as long as the last stay within
# the timeout, so a slow case costs about one timeout at most; the "runs"
# column says how many runs the medians are taken over. A run past the
# timeout is killed and the case reads "timeout"; larger sizes of that family
# are then skipped. The coastline, valid-coastline and region families need gmt and gmt-dcw, which are
# installed with apt-get when missing; if that fails, the family is skipped.
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
  if [[ "$1" == coastline || "$1" == valid-coastline ]]; then
    echo "${coastline_countries[@]}"  # by vertex count, 212,369 to 516,561
  elif [[ "$1" == region ]]; then
    echo "${region_countries[@]}"
  elif [[ "$1" == collinear ]]; then
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

format_ratio() {  # SECONDS FLOOR_SECONDS
  awk -v s="$1" -v f="$2" 'BEGIN {
    r = s / f; if (r < 10) printf "%.2f", r; else if (r < 100) printf "%.1f", r; else printf "%.0f", r }'
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

# Runs the naive floor once on INPUT in a fresh scratch directory and adds its
# wall time to case_floor_walls: reading and parsing the input, formatting
# every number of the four outputs and writing them, without geometry. It is
# linear and always finishes, so it has a limit of its own, 300 s, not --timeout.
naive_floor_once() {  # INPUT
  fresh_directory "$scratch_dir"
  measure_once "$scratch_dir" 300 "$naive_floor" "$(floor_input_path "$1")" poly.hf
  [[ -z "$(run_failure)" ]] || {
    echo "naive floor failed on $1: $(run_failure)" >&2
    return 1
  }
  case_floor_walls+=("$measured_wall")
}

# Sets case_walls, case_peaks, case_floor_walls, case_failure and
# case_reported for the converter on INPUT, each run of the converter right
# after one of the naive floor, so that both see the machine at the same
# speed. Exit status 1 with the outputs written is a conversion that reported
# a problem of its input (an outline that crosses itself, say): it is timed
# like any other, and marked.
time_converter() {  # INPUT
  local elapsed=0 run last_wall=0
  case_walls=() case_peaks=() case_floor_walls=() case_failure="" case_reported=""
  for ((run = 0; run < runs; run++)); do
    if ((run > 0)) && awk -v e="$elapsed" -v w="$last_wall" -v t="$timeout_seconds" \
      'BEGIN { exit !(e + w > t) }'; then
      break
    fi
    naive_floor_once "$1" || return 1
    fresh_directory "$scratch_dir"
    measure_once "$scratch_dir" "$timeout_seconds" "$converter" "$1" poly.hf
    case_failure="$(run_failure)"
    if [[ "$case_failure" == "exit 1" && -f "$scratch_dir/Formula.txt" ]]; then
      case_failure="" case_reported="*"
    fi
    [[ -z "$case_failure" ]] || return 0
    case_walls+=("$measured_wall")
    case_peaks+=("$measured_peak_kib")
    last_wall="$measured_wall"
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
kept_families=()
for family in "${families[@]}"; do
  made=1
  for size in $(sizes_of "$family"); do
    if is_real_family "$family"; then
      # Without gmt and gmt-dcw (a message says why), the family is left out.
      ensure_polygon "$family" "$size" || {
        echo "the $family family is skipped: no polygon for $size" >&2
        made=0
        break
      }
    else
      ensure_polygon "$family" "$size"
    fi
  done
  ((made == 0)) || kept_families+=("$family")
done
families=("${kept_families[@]}")

commit="$(git -C "$repository_dir" rev-parse --short HEAD 2>/dev/null || echo unknown)"
if [[ -n "$(git -C "$repository_dir" status --porcelain --untracked-files=no 2>/dev/null)" ]]; then
  commit="$commit (with uncommitted changes)"
fi
table="$results_dir/table.md"
{
  echo "Converter at $commit, $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores," \
    "scratch on $file_system; wall time: median of up to $runs runs (timeout ${timeout_seconds} s" \
    "per run); peak memory: largest of those runs; copy floor: median of $runs copies;" \
    "naive floor: median of as many runs of polyfrep-naive-floor, each just before a run" \
    "of the converter; polyfrep / naive: the ratio of the two medians;" \
    "* the converter reported a problem of the input (exit status 1) after writing every output."
  echo
  echo "| family | n | input size | copy floor | naive floor | polyfrep median wall |" \
    "polyfrep / naive | runs | peak memory | time per vertex |"
  echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
} | tee "$table"

for family in "${families[@]}"; do
  skip_reason=""
  for size in $(sizes_of "$family"); do
    input="$(polygon_path "$family" "$size")"
    n="$(head -n 1 "$(floor_input_path "$input")" | tr -d '[:space:]')"
    label="$n"
    ! is_real_family "$family" || label="$size $n"
    input_size="$(format_bytes "$(stat -c %s "$input")")"
    floor="$(format_seconds "$(copy_floor "$input")")"
    if [[ -n "$skip_reason" ]]; then
      # The floor alone, for the record.
      case_floor_walls=()
      for ((run = 0; run < runs; run++)); do
        naive_floor_once "$input"
      done
      naive="$(format_seconds "$(median "${case_floor_walls[@]}")")"
      row="| $family | $label | $input_size | $floor | $naive | skipped ($skip_reason) | – | 0 | – | – |"
    else
      echo "timing $family $label..." >&2
      time_converter "$input"
      naive_wall="$(median "${case_floor_walls[@]}")"
      naive="$(format_seconds "$naive_wall")"
      if [[ -n "$case_failure" ]]; then
        outcome="failed: $case_failure"
        [[ "$case_failure" != timeout ]] || outcome="timeout (> ${timeout_seconds} s)"
        row="| $family | $label | $input_size | $floor | $naive | $outcome | – | ${#case_walls[@]} | – | – |"
        skip_reason="$label: $case_failure"
        is_real_family "$family" || skip_reason="n=$skip_reason"
      else
        wall="$(median "${case_walls[@]}")"
        peak_kib="$(maximum "${case_peaks[@]}")"
        row="| $family | $label | $input_size | $floor | $naive | $(format_seconds "$wall")$case_reported"
        row+=" | $(format_ratio "$wall" "$naive_wall") | ${#case_walls[@]}"
        row+=" | $(format_bytes $((peak_kib * 1024))) | $(format_per_vertex "$wall" "$n") |"
      fi
    fi
    echo "$row" | tee -a "$table"
  done
done
rm -rf "$scratch_dir"
echo >&2
echo "table saved to $table" >&2
