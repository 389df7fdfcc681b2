#!/bin/sh
# Builds the fuzz target with ASan and UBSan and runs it on mutated copies of oracle fixtures.
#   fuzz/build.sh [SECONDS]      (default 600)
# clang 14 cannot compile libstdc++ 12's <expected>; compat/ holds a small stand-in for it.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=$root/build/fuzz
seconds=${1:-600}
oracle=${SNV_ORACLE:-$root/../shared/tools/redb-oracle/bin/redb-oracle}
[ -x "$oracle" ] || oracle=/work/shared/tools/redb-oracle/bin/redb-oracle
mkdir -p "$out"
clang++-14 -std=c++2b -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -fno-omit-frame-pointer -I"$here/compat" -I"$root/redb/include" -I"$root/redb/src" -I"$root/snv-core/src" \
    "$here/open_fuzz.cpp" "$root"/redb/src/*.cpp "$root"/snv-core/src/os/*.cpp "$root"/snv-core/src/os/posix/*.cpp \
    -o "$out/open_fuzz"
corpus=$here/corpus
if [ ! -d "$corpus" ]; then
  mkdir -p "$corpus"
  # Small fixtures keep mutations meaningful: the interesting bytes are in the first pages.
  for kind in empty history:3:5 history:40:0 others:4 crash:5 crash-quick:5 nondurable:3 savepoint:3 wrong-key; do
    "$oracle" fixture "$kind" "$corpus/$(printf '%s' "$kind" | tr ':' '_')"
  done
fi
"$out/open_fuzz" -max_total_time="$seconds" -max_len=1100000 -rss_limit_mb=4096 -timeout=10 \
    -artifact_prefix="$here/crash-" "$corpus"
