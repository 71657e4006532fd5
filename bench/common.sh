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
naive_floor="$build_dir/polyfrep-naive-floor"

benchmark_families=(random-star comb spiral staircase collinear coastline valid-coastline region)
# The coastline family: the largest ring of each country's coastline (see
# bench/coastline.sh), from 212,369 (IN) to 516,561 (AU) vertices with the
# data of gmt-dcw 2.1.1; its "size" is the country code.
coastline_countries=(IN CN CA US AU)
# The valid-coastline family: the largest ring of the valid region each of
# those rings encloses (see bench/valid_coastline.sh), the same countries.
# The region family: a country's whole coastline as a GeoJSON region (see
# bench/coast_region.sh); ID, 2,022 parts and 98,055 points with gmt-dcw
# 2.1.1, one of which crosses itself.
region_countries=(ID)

# The converter, generator, timer and naive floor in Release, without the tests.
build_tools() {
  if ! cmake -S "$repository_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_TESTING=OFF >"$results_dir/build.log" 2>&1 ||
    ! cmake --build "$build_dir" -j2 --target polyfrep polyfrep-generate polyfrep-measure \
      polyfrep-naive-floor >>"$results_dir/build.log" 2>&1; then
    echo "build failed; see $results_dir/build.log" >&2
    return 1
  fi
}

# The families of real outlines: their sizes are country codes, and they are
# made with gmt and gmt-dcw.
is_real_family() {  # FAMILY
  [[ "$1" == coastline || "$1" == valid-coastline || "$1" == region ]]
}

polygon_path() {  # FAMILY SIZE (a vertex count, or a country code for the real outlines)
  if [[ "$1" == region ]]; then
    echo "$polygon_dir/$1-$2.geojson"
  else
    echo "$polygon_dir/$1-$2.txt"
  fi
}

# The vertex list the naive floor reads for an input: the input itself, or
# for a region every point of its rings in one list (the closing points
# included), so that the floor reads, formats and writes as many numbers.
floor_input_path() {  # INPUT
  if [[ "$1" == *.geojson ]]; then
    echo "${1%.geojson}.txt"
  else
    echo "$1"
  fi
}

# Every [x, y] pair of a GeoJSON file as a vertex list.
geojson_vertex_list() {  # INPUT OUTPUT
  grep -o '\[ *-\{0,1\}[0-9][^][]*\]' "$1" | tr -d '[],' | awk '
    { x[NR] = $1; y[NR] = $2 }
    END { print NR; for (i = 1; i <= NR; i++) print x[i], y[i] }' >"$2"
}

# True when gmt and its coastline data are there to make the coastline
# family; installs them with apt-get when they are missing (the tests and
# .ci/install-deps never do), saying so on standard error. False, with a
# message, when they cannot be installed (apt-get missing or failing, or not
# root and no password-less sudo).
coastline_tools_ready() {
  if command -v gmt >/dev/null &&
    { ! command -v dpkg >/dev/null || dpkg -s gmt-dcw >/dev/null 2>&1; }; then
    return 0
  fi
  echo "the coastline family needs gmt and gmt-dcw: installing them with apt-get..." >&2
  local as_root=()
  [[ "$(id -u)" == 0 ]] || as_root=(sudo -n)
  if command -v apt-get >/dev/null &&
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq >&2 &&
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
      apt-get install -y -qq --no-install-recommends gmt gmt-dcw >&2 &&
    command -v gmt >/dev/null; then
    return 0
  fi
  echo "could not install gmt and gmt-dcw with apt-get" >&2
  return 1
}

# Makes a polygon unless the cache holds one made by the current generator
# (for the real outlines: by the current script that makes them).
ensure_polygon() {  # FAMILY SIZE
  local path maker="$generator"
  path="$(polygon_path "$1" "$2")"
  [[ "$1" != coastline ]] || maker="$bench_dir/coastline.sh"
  [[ "$1" != valid-coastline ]] || maker="$bench_dir/valid_coastline.sh"
  [[ "$1" != region ]] || maker="$bench_dir/coast_region.sh"
  if [[ -f "$path" && ! "$maker" -nt "$path" ]]; then
    return 0
  fi
  mkdir -p "$polygon_dir"
  if [[ "$1" == coastline || "$1" == valid-coastline ]]; then
    coastline_tools_ready && "$maker" "$2" "$path.partial" && mv "$path.partial" "$path"
  elif [[ "$1" == region ]]; then
    coastline_tools_ready && "$maker" "$2" "$path.partial" &&
      geojson_vertex_list "$path.partial" "$(floor_input_path "$path")" &&
      mv "$path.partial" "$path"
  else
    "$maker" "$1" "$2" "$path.partial" && mv "$path.partial" "$path"
  fi
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
