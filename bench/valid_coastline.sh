#!/usr/bin/env bash
# Writes the largest ring of the valid region a country's coastline ring
# encloses, as a polygon file:
#
#   bench/valid_coastline.sh CODE OUTPUT   e.g. bench/valid_coastline.sh US us-valid.txt
#
# The ring of bench/coastline.sh crosses itself in small tangles for every
# country of the coastline family, so the converter only reports it. Here the
# converter (the benchmark's Release build, which must be built) turns it
# with --make-valid into the valid region it encloses and writes that with
# 17 significant digits, which read back as the same doubles; the largest
# ring of its plot file is the output, its closing point dropped and
# counter-clockwise, a simple outline that takes the converter's cut checks.
# Needs gmt and gmt-dcw (apt-get install gmt gmt-dcw), which the tests never
# do.
set -euo pipefail
[[ $# -eq 2 ]] || {
  sed -n '2,15p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
  exit 2
}
# shellcheck source=bench/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$bench_dir/coastline.sh" "$1" "$work/ring.txt"
# The converter notes the crossing it repaired; any other message is shown.
(cd "$work" && "$converter" --make-valid --digits=17 ring.txt ring.hf >/dev/null 2>messages) || {
  cat "$work/messages" >&2
  exit 1
}
# poly.plt: a header line, the ring count, then per ring its point count and
# its points, the first repeated at the end.
awk '
  NR <= 2 { next }
  remaining == 0 { remaining = $1; n = 0; next }
  {
    x[n] = $1; y[n] = $2; n++; remaining--
    if (remaining == 0 && n - 1 > best) {
      best = n - 1
      for (i = 0; i < best; i++) { bx[i] = x[i]; by[i] = y[i] }
    }
  }
  END {
    area = 0
    for (i = 0; i < best; i++) { j = (i + 1) % best; area += bx[i] * by[j] - bx[j] * by[i] }
    print best
    if (area > 0) { for (i = 0; i < best; i++) print bx[i], by[i] }
    else { for (i = best - 1; i >= 0; i--) print bx[i], by[i] }
  }' "$work/poly.plt" >"$2"
