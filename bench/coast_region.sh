#!/usr/bin/env bash
# Writes a country's whole coastline as a GeoJSON region, from the
# public-domain Digital Chart of the World that Debian's gmt-dcw package
# carries: every part of the coastline becomes one polygon of a
# MultiPolygon, its points as the data gives them (every digit kept, the
# closing point repeated as GeoJSON wants).
#
#   bench/coast_region.sh CODE OUTPUT     e.g. bench/coast_region.sh FO faroe.geojson
#
# CODE is a two-letter country code. Needs gmt and gmt-dcw (apt-get install
# gmt gmt-dcw), which the tests never do.
set -euo pipefail
[[ $# -eq 2 ]] || {
  sed -n '2,11p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
  exit 2
}
# shellcheck source=bench/dcw.sh
source "$(dirname "${BASH_SOURCE[0]}")/dcw.sh"
dcw_coast "$1" | awk -v code="$1" '
  function close_part() {
    if (n == 0) return
    if (parts > 0) printf ",\n"
    printf "[["
    for (i = 0; i < n; i++) printf "%s[%s, %s]", (i ? ", " : ""), x[i], y[i]
    if (x[n - 1] != x[0] || y[n - 1] != y[0]) printf ", [%s, %s]", x[0], y[0]
    printf "]]"
    parts++
    n = 0
  }
  BEGIN {
    n = 0
    parts = 0
    printf "{\"type\": \"FeatureCollection\", \"features\": [{\"type\": \"Feature\", "
    printf "\"properties\": {\"country\": \"%s\"}, ", code
    printf "\"geometry\": {\"type\": \"MultiPolygon\", \"coordinates\": [\n"
  }
  /^>/ { close_part(); next }
  { x[n] = $1; y[n] = $2; n++ }
  END { close_part(); printf "\n]}}]}\n" }' >"$2"
