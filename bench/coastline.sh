#!/usr/bin/env bash
# Writes the largest ring of a country's coastline as a polygon file, from
# the public-domain Digital Chart of the World that Debian's gmt-dcw
# package carries:
#
#   bench/coastline.sh CODE OUTPUT     e.g. bench/coastline.sh NO norway.txt
#
# CODE is a two-letter country code. The ring's repeated closing vertex and
# any vertex that repeats the one before it are dropped, and the ring is made
# counter-clockwise; coordinates keep every digit of the data. Needs gmt and
# gmt-dcw (apt-get install gmt gmt-dcw), which the tests never do.
set -euo pipefail
[[ $# -eq 2 ]] || {
  sed -n '2,12p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
  exit 2
}
# shellcheck source=bench/dcw.sh
source "$(dirname "${BASH_SOURCE[0]}")/dcw.sh"
dcw_coast "$1" | awk '
  function keep_largest() {
    if (n > best) { best = n; for (i = 0; i < n; i++) { bx[i] = x[i]; by[i] = y[i] } }
    n = 0
  }
  /^>/ { keep_largest(); next }
  { x[n] = $1; y[n] = $2; n++ }
  END {
    keep_largest()
    m = 0
    for (i = 0; i < best; i++) {
      if (m > 0 && bx[i] == px[m - 1] && by[i] == py[m - 1]) continue
      px[m] = bx[i]; py[m] = by[i]; m++
    }
    while (m > 1 && px[m - 1] == px[0] && py[m - 1] == py[0]) m--
    area = 0
    for (i = 0; i < m; i++) { j = (i + 1) % m; area += px[i] * py[j] - px[j] * py[i] }
    print m
    # The fields print as they were read, every digit kept.
    if (area > 0) { for (i = 0; i < m; i++) print px[i], py[i] }
    else { for (i = m - 1; i >= 0; i--) print px[i], py[i] }
  }' >"$2"
