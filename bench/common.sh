# shellcheck shell=bash
# shellcheck disable=SC2034  # the paths and results are read by the sourcing scripts
# Shared by bench/run.sh and bench/checksums.sh: the Release build of the
# tools, the polygon cache and the timed runs. Source it; it defines functions
# and paths only.

bench_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repository_dir="$(cd "$bench_dir/.." && pwd)"
build_dir="$repository_dir/build-bench"
results_dir="$bench_dir/results"
polygon_dir="$results_dir/polygons"

converter="$build_dir/polyfrep"
generator="$build_dir/polyfrep-generate"
measurer="$build_dir/polyfrep-measure"

benchmark_families=(random-star comb spiral staircase collinear)

# The converter, generator and timer in Release, without the tests.
build_tools() {
  if ! cmake -S "$repository_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_TESTING=OFF >"$results_dir/build.log" 2>&1 ||
    ! cmake --build "$build_dir" -j2 --target polyfrep polyfrep-generate polyfrep-measure \
      >>"$results_dir/build.log" 2>&1; then
    echo "build failed; see $results_dir/build.log" >&2
    return 1
  fi
}

polygon_path() {  # FAMILY VERTEX_COUNT
  echo "$polygon_dir/$1-$2.txt"
}

# Generates a polygon unless the cache holds one made by the current generator.
ensure_polygon() {  # FAMILY VERTEX_COUNT
  local path
  path="$(polygon_path "$1" "$2")"
  if [[ -f "$path" && ! "$generator" -nt "$path" ]]; then
    return 0
  fi
  mkdir -p "$polygon_dir"
  "$generator" "$1" "$2" "$path.partial" && mv "$path.partial" "$path"
}

# The scratch directory lies inside the repository, so on the repository's
# disk; a memory-backed file system would hide the cost of the output files.
check_scratch_file_system() {  # DIRECTORY
  local type
  type="$(stat -f -c %T "$1")"
  if [[ "$type" == tmpfs || "$type" == ramfs ]]; then
    echo "warning: $1 is on $type; output costs will look too small" >&2
  fi
  echo "$type"
}

fresh_directory() {  # DIRECTORY
  rm -rf "$1"
  mkdir -p "$1"
}

# Runs one command under the timer, in DIRECTORY, and sets measured_result
# (exited, signaled or timeout), measured_code, measured_wall (seconds) and
# measured_peak_kib.
measure_once() {  # DIRECTORY TIMEOUT_SECONDS COMMAND...
  local directory="$1" timeout="$2"
  shift 2
  local report field
  report="$("$measurer" --directory "$directory" --timeout "$timeout" -- "$@")" || return 1
  measured_result="" measured_code="" measured_wall="" measured_peak_kib=""
  for field in $report; do
    case "$field" in
      result=*) measured_result="${field#result=}" ;;
      code=*) measured_code="${field#code=}" ;;
      wall_seconds=*) measured_wall="${field#wall_seconds=}" ;;
      peak_rss_kib=*) measured_peak_kib="${field#peak_rss_kib=}" ;;
    esac
  done
  [[ -n "$measured_result" ]]
}

# A short word for a run that did not end normally, or nothing.
run_failure() {
  case "$measured_result" in
    exited) [[ "$measured_code" == 0 ]] || echo "exit $measured_code" ;;
    signaled) echo "signal $measured_code" ;;
    timeout) echo "timeout" ;;
  esac
}
