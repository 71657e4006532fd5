# shellcheck shell=bash
# Sourced by the scripts that read country coastlines from Debian's gmt-dcw.
#
# dcw_coast CODE prints the coastline of the country as gmt prints it: one
# ">" line before each part, then one "x y" line per point, every digit of
# the data kept. Fails with a message when gmt is not installed.
dcw_coast() {  # CODE
  command -v gmt >/dev/null || {
    echo "gmt is not installed: apt-get install gmt gmt-dcw" >&2
    return 1
  }
  # gmt keeps a history file in the directory it runs in: run it in a
  # directory of its own.
  local work status=0
  work="$(mktemp -d)"
  (cd "$work" && gmt coast -E"$1" -M) || status=$?
  rm -rf "$work"
  return "$status"
}
