#!/usr/bin/env bash
# Times polyfrep-check against the converter on the same polygons and prints
# a Markdown table.
#
#   bench/check.sh [--runs N] [POLYGON...]
#
# Without POLYGON files: the random stars of 100,000 and 1,000,000 vertices,
# and the largest ring of Norway's coastline when gmt and gmt-dcw are
# installed (see bench/coastline.sh). Each polygon is converted once; then
# the converter and the full default check of its model run one after the
# other N times (default 3), so that both see the same machine speed. The
# table gives the medians and the checker's time as a multiple of the
# converter's.
set -euo pipefail
# shellcheck source=bench/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

runs=3
polygons=()
while [[ $# -gt 0 ]]; do
  case "$1" in
    --runs)
      [[ $# -ge 2 && "$2" =~ ^[1-9][0-9]*$ ]] || {
        echo "--runs needs a positive whole number" >&2
        exit 2
      }
      runs="$2"
      shift
      ;;
    -*)
      sed -n '2,13p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
      exit 2
      ;;
    *) polygons+=("$(realpath "$1")") ;;
  esac
  shift
done

mkdir -p "$results_dir"
build_tools
cmake --build "$build_dir" -j2 --target polyfrep-check >>"$results_dir/build.log" 2>&1 || {
  echo "build failed; see $results_dir/build.log" >&2
  exit 1
}
checker="$build_dir/polyfrep-check"

if [[ ${#polygons[@]} -eq 0 ]]; then
  for n in 100000 1000000; do
    ensure_polygon random-star "$n"
    polygons+=("$(polygon_path random-star "$n")")
  done
  coastline="$polygon_dir/coastline-NO.txt"
  if [[ -f "$coastline" ]] || "$bench_dir/coastline.sh" NO "$coastline" 2>/dev/null; then
    polygons+=("$coastline")
  fi
fi

median() {  # VALUES...
  printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

scratch="$results_dir/check-scratch"
echo "| polygon | n | converter | check | check / converter | check peak memory | verdict |"
echo "|---|---:|---:|---:|---:|---:|---|"
for polygon in "${polygons[@]}"; do
  fresh_directory "$scratch"
  cp "$polygon" "$scratch/input.txt"
  measure_once "$scratch" 600 "$converter" input.txt input.hf 2>/dev/null
  converter_walls=() check_walls=() check_peaks=()
  for ((run = 0; run < runs; ++run)); do
    measure_once "$scratch" 600 "$converter" input.txt converted.hf 2>/dev/null
    converter_walls+=("$measured_wall")
    measure_once "$scratch" 600 "$checker" input.txt input.hf
    check_walls+=("$measured_wall")
    check_peaks+=("$measured_peak_kib")
  done
  (cd "$scratch" && "$checker" input.txt input.hf >report.txt 2>/dev/null) || true
  verdict="$(sed -n 's/^verdict: //p' "$scratch/report.txt")"
  n="$(head -n 1 "$polygon" | tr -d '[:space:]')"
  conv="$(median "${converter_walls[@]}")"
  check="$(median "${check_walls[@]}")"
  peak="$(median "${check_peaks[@]}")"
  awk -v name="$(basename "$polygon" .txt)" -v n="$n" -v conv="$conv" -v check="$check" \
    -v peak="$peak" -v verdict="$verdict" 'BEGIN {
      printf "| %s | %d | %.2f s | %.2f s | %.2f | %.0f MiB | %s |\n",
        name, n, conv, check, check / conv, peak / 1024, verdict
    }'
done
rm -rf "$scratch"
