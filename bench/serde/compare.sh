#!/usr/bin/env bash
# Our JSON reading beside serde_json's, on the same files in one run: builds the serde program
# offline against Debian's crates (librust-serde-json-dev, librust-serde-derive-dev,
# librust-chrono-dev; installed here when missing) and json_read_bench (native preset), has
# json_read_bench write the files, then runs the two programs in turn ROUNDS times (default 5)
# and prints the best figure of each side, and the 80 MB nested document's time and peak memory.
#   bench/serde/compare.sh [ROUNDS]
# Not part of scripts/test.
set -euo pipefail
cd "$(dirname "$0")/../.."
rounds=${1:-5}

source bench/serde/prepare.sh

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for ((r = 0; r < rounds; r++)); do
  "$serde" time "$files" >>"$out/serde"
  "$ours" time "$files" >>"$out/ours"
done

# The smallest value of each figure over the rounds, with its unit.
best() { sort -t$'\t' -k1,1 -k2,2g "$1" | awk -F'\t' '!seen[$1]++ { print $1 "\t" $2 "\t" $3 }'; }
echo "best of $rounds runs of each, in-process (ours | serde_json):"
join -t$'\t' <(best "$out/ours") <(best "$out/serde") |
  awk -F'\t' '{ printf "  %-9s %10s | %10s  %s  (serde/ours %.2f)\n", $1, $2, $4, $3, $4 / $2 }'

echo "the nested document, each in a process of its own:"
"$ours" nested "$files/nested.json" | sed 's/^/  ours:  /'
"$serde" nested "$files/nested.json" | sed 's/^/  serde: /'
