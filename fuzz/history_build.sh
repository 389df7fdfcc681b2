#!/bin/sh
# Builds the history.jsonl line-filter target with ASan and UBSan and runs it.
#   fuzz/history_build.sh [SECONDS]      (default 600)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=$root/build/fuzz
seconds=${1:-600}
mkdir -p "$out"
src=$root/snv-core/src
clang++-14 -std=c++2b -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -fno-omit-frame-pointer -I"$here/compat" -I"$src" \
    "$here/history_lines_fuzz.cpp" "$src"/history/entry.cpp "$src"/history/entry_reader.cpp \
    "$src"/history/entry_writer.cpp "$src"/history/legacy_lines.cpp "$src"/history/utf8.cpp \
    "$src"/json/*.cpp "$src"/calendar/*.cpp "$src"/model/action.cpp \
    -o "$out/history_lines_fuzz"
corpus=$out/history-corpus
if [ ! -d "$corpus" ]; then
    mkdir -p "$corpus"
    printf '%s\n' '{"time":"2026-03-14T22:00:05","kind":"executed","action":"shutdown","detail":"Shut down \u00b7 x"}' \
        '["2026-03-14T22:00:05.5","error",{"lock":null},"a\"b"]' >"$corpus/two_lines"
    printf '%s\r\n%s' ' {"id":1,"kind":{"cleanup":null},"time":" 2026-3-4 T 2:0:60.25"} ' \
        '{"time":"+10000-01-01T00:00:00","kind":"snoozed","action":null}' >"$corpus/crlf"
fi
"$out/history_lines_fuzz" -max_total_time="$seconds" -timeout=10 -artifact_prefix="$out/history-crash-" "$corpus"
