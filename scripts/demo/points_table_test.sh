#!/usr/bin/env bash
# Checks that points_table.awk takes a key for a point address by the task's rule (blanks
# before a number, text after the third number ignored, lower-case kinds only traced, numbers
# cut to 16 bits) and matches the journal's writes to the configured points.
set -uo pipefail
readonly TABLE=$(cd "$(dirname "$0")" && pwd)/points_table.awk
work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT

printf '[h]\n#TC1:1:3x=1.3.6.1\n#TS 2: 2:2=1.3.6.2\n#tc1:1:1=1.3.6.3\n#TT1:1:70000=1.3.6.4\n' \
  >"$work/config.cfg"
printf '2026-12-07T08:51:02.417\tslSetStatus\t1\t1\t3\t5\n' >"$work/journal.tsv"
printf '2026-12-07T08:51:02.418\tslSetAnalogFlags\t1\t1\t4464\t0x0001\n' >>"$work/journal.tsv"
output=$(awk -f "$TABLE" "$work/config.cfg" "$work/journal.tsv")

failures=0
expect_row() {
  local pattern=$1
  grep -qE -- "$pattern" <<<"$output" && return 0
  echo "FAILED: no row matching '$pattern'" >&2
  failures=$((failures + 1))
}
expect_row '^#TC1:1:3x +TC +h +1\.3\.6\.1 +1 +5 '
expect_row '^#TS 2: 2:2 +TS +h +1\.3\.6\.2 +0 +\(nothing written\)'
expect_row '^#tc1:1:1 +- +h +1\.3\.6\.3 +- +\(only traced\)'
expect_row '^#TT1:1:70000 +TT +h +1\.3\.6\.4 +1 +flags 0x0001 '
if ((failures > 0)); then
  echo "$output" >&2
  exit 1
fi
echo "points table: all rows as expected"
