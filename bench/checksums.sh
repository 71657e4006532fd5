#!/usr/bin/env bash
# shellcheck disable=SC2317  # record and check are called through $mode
# Proves the converter's outputs unchanged, byte for byte, on the benchmark
# polygons.
#
#   bench/checksums.sh --record [--timeout SECONDS]   writes bench/checksums.txt
#   bench/checksums.sh --check  [--timeout SECONDS]   compares against it
#   bench/checksums.sh --add CASE... [--timeout SECONDS]
#                                   appends the lines of cases not yet listed
#
# The cases are every generated family but collinear at 1,000, 10,000 and
# 100,000 vertices, collinear at 1,000, and the five coastlines (coastline-IN
# and so on) and their valid rings (valid-coastline-IN and so on; made with
# gmt and gmt-dcw, which are installed with apt-get when
# missing; a coastline that cannot be made is named in a note, not checked,
# and not a difference). Each is converted once in a fresh scratch
# directory; the list holds the sha256 of the input polygon, of the four
# outputs ("absent" for an output that was not written) and of the messages on
# standard error, and the exit status. A run past the timeout (default 120 s)
# or killed by a signal is not a result: when recording, its case is left out
# of the list (and named in a comment line); when checking, it counts as a
# difference. --check exits with status 1 and lists every difference. --add
# leaves every line already in the list as it is.
set -euo pipefail
# shellcheck source=bench/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

list="$bench_dir/checksums.txt"
output_files=(poly.plt List.txt Formula.txt poly.hf)
timeout_seconds=120
mode=""
added_cases=()

usage() {
  # The comment block at the top of this file.
  awk '/shellcheck/ { next } NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' \
    "${BASH_SOURCE[0]}" >&2
  exit 2
}

while [[ $# -gt 0 ]]; do
  case "$1" in
    --record) mode=record ;;
    --check) mode=check ;;
    --add)
      mode=add
      while [[ $# -ge 2 && "$2" != --* ]]; do
        added_cases+=("$2")
        shift
      done
      [[ ${#added_cases[@]} -gt 0 ]] || usage
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
[[ -n "$mode" ]] || usage

standard_cases() {
  local family n
  for family in random-star comb spiral staircase; do
    for n in 1000 10000 100000; do
      echo "$family-$n"
    done
  done
  echo collinear-1000
  for country in "${coastline_countries[@]}"; do
    echo "coastline-$country"
  done
  for country in "${coastline_countries[@]}"; do
    echo "valid-coastline-$country"
  done
}

digest() {  # FILE
  if [[ -f "$1" ]]; then
    sha256sum "$1" | cut -d ' ' -f 1
  else
    echo absent
  fi
}

# Converts one case and sets case_output to its list lines, or case_failure
# when the run timed out or was killed, or case_unavailable when a coastline
# could not be made. An exit status other than 0 is a result like the files:
# the converter reports bad outlines that way.
case_lines() {  # CASE
  local case_name="$1" family="${1%-*}" n="${1##*-}" input file
  case_unavailable=""
  if [[ "$family" == coastline || "$family" == valid-coastline ]]; then
    ensure_polygon "$family" "$n" || {
      case_unavailable="its coastline could not be made (gmt, gmt-dcw)"
      return 0
    }
  else
    ensure_polygon "$family" "$n"
  fi
  input="$(polygon_path "$family" "$n")"
  fresh_directory "$scratch_dir"
  # The messages name the input as given: a path relative to the scratch
  # directory reads the same in every checkout.
  measure_once "$scratch_dir" "$timeout_seconds" "$converter" \
    "../polygons/${input##*/}" poly.hf 2>"$messages"
  case_failure=""
  [[ "$measured_result" == exited ]] || case_failure="$(run_failure)"
  [[ -z "$case_failure" ]] || return 0
  case_output="$(digest "$input")  $case_name/input.txt"
  for file in "${output_files[@]}"; do
    case_output+=$'\n'"$(digest "$scratch_dir/$file")  $case_name/$file"
  done
  case_output+=$'\n'"$(digest "$messages")  $case_name/stderr"
  case_output+=$'\n'"exit-$measured_code  $case_name/exit-status"
}

record() {
  local partial="$list.partial" case_name
  {
    echo "# sha256 of every benchmark polygon (input.txt), of the four files the"
    echo "# converter writes for it (\"absent\" marks a file it did not write) and of"
    echo "# its messages on standard error; exit-N is its exit status."
    echo "# Made by bench/checksums.sh --record; compared by bench/checksums.sh --check."
  } >"$partial"
  for case_name in $(standard_cases); do
    echo "converting $case_name..." >&2
    case_lines "$case_name"
    if [[ -n "$case_unavailable" ]]; then
      echo "# not recorded: $case_name ($case_unavailable)" >>"$partial"
      echo "  $case_unavailable: left out" >&2
    elif [[ -n "$case_failure" ]]; then
      echo "# not recorded: $case_name ($case_failure; timeout ${timeout_seconds} s)" >>"$partial"
      echo "  $case_failure: left out" >&2
    else
      echo "$case_output" >>"$partial"
    fi
  done
  mv "$partial" "$list"
  echo "recorded $(grep -vc '^#' "$list") checksums in $list" >&2
}

add() {
  [[ -f "$list" ]] || {
    echo "no checksum list at $list; record one first" >&2
    exit 2
  }
  local case_name
  for case_name in "${added_cases[@]}"; do
    grep -qx "$case_name" < <(standard_cases) || {
      echo "$case_name is not a checksum case; they are: $(standard_cases | tr '\n' ' ')" >&2
      exit 2
    }
    if grep -v '^#' "$list" | grep -qF "  $case_name/"; then
      echo "$case_name is listed already; --record rewrites the list" >&2
      exit 2
    fi
  done
  for case_name in "${added_cases[@]}"; do
    echo "converting $case_name..." >&2
    case_lines "$case_name"
    if [[ -n "$case_unavailable$case_failure" ]]; then
      echo "$case_name: ${case_unavailable:-$case_failure}; not added" >&2
      exit_status=1
      continue
    fi
    echo "$case_output" >>"$list"
  done
}

check() {
  [[ -f "$list" ]] || {
    echo "no checksum list at $list; record one first" >&2
    exit 2
  }
  local differences=() case_name expected actual name checked=0
  local listed_cases
  listed_cases="$(grep -v '^#' "$list" | awk '{ sub(/\/[^\/]*$/, "", $2); print $2 }' | uniq)"
  for case_name in $listed_cases; do
    echo "checking $case_name..." >&2
    case_lines "$case_name"
    if [[ -n "$case_unavailable" ]]; then
      echo "note: $case_name was not checked: $case_unavailable" >&2
      continue
    fi
    if [[ -n "$case_failure" ]]; then
      differences+=("$case_name: $case_failure")
      continue
    fi
    while read -r expected name; do
      actual="$(grep -F "  $name" <<<"$case_output" | cut -d ' ' -f 1)"
      checked=$((checked + 1))
      if [[ "$actual" != "$expected" ]]; then
        differences+=("$name: expected $expected, got ${actual:-nothing}")
      fi
    done < <(grep -v '^#' "$list" | grep -F "  $case_name/")
  done
  for case_name in $(standard_cases); do
    if ! grep -qx "$case_name" <<<"$listed_cases"; then
      echo "note: $case_name has no reference checksums and was not checked" >&2
    fi
  done
  if [[ ${#differences[@]} -gt 0 ]]; then
    echo "${#differences[@]} difference(s):"
    printf '  %s\n' "${differences[@]}"
    exit_status=1
    return 0
  fi
  echo "all $checked checksums match"
}

mkdir -p "$results_dir"
scratch_dir="$results_dir/scratch-checksums"
messages="$results_dir/checksums-stderr.txt"
echo "building the converter and tools in Release ($build_dir)..." >&2
build_tools
fresh_directory "$scratch_dir"
check_scratch_file_system "$scratch_dir" >/dev/null
exit_status=0
"$mode"
rm -rf "$scratch_dir" "$messages"
exit "$exit_status"
