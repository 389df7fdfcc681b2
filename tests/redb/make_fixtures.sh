#!/bin/sh
# Writes every oracle fixture kind into DIR, each with the dump that redb itself prints for a
# copy (so a repair at open leaves the fixture as it was). Run before the redb tests of both
# builds; the oracle is a Linux program and runs on the host side.
set -eu
oracle=$1
dir=$2
rm -rf "$dir"
mkdir -p "$dir"
for kind in empty history:3:5 history:300:1000 big:5000 others:20 wrong-key wrong-value savepoint:10 \
    crash:20 crash-quick:20 nondurable:10; do
  name=$(printf '%s' "$kind" | tr ':' '_')
  "$oracle" fixture "$kind" "$dir/$name.redb"
  cp "$dir/$name.redb" "$dir/$name.copy"
  "$oracle" dump "$dir/$name.copy" > "$dir/$name.dump" 2> "$dir/$name.err" || true
  rm -f "$dir/$name.copy"
done
