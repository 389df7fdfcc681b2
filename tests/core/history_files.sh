#!/bin/sh
# The history cases of the Windows build run under Wine, where the redb oracle (a Linux
# program) cannot be started. `prepare` writes the databases they start from beforehand;
# `verify` checks the files they leave with the real library afterwards.
#   history_files.sh prepare|verify ORACLE BUILD_DIR
set -u
mode=$1 oracle=$2 build=$3

case $mode in
prepare)
    out=$build/history-fixtures
    rm -rf "$out" && mkdir -p "$out" || exit 1
    for kind in empty history:35:7 history:10000:0 history:1:18446744073709551615 \
        history:3:100; do
        name=$(echo "$kind" | tr : _)
        "$oracle" fixture "$kind" "$out/$name.redb" || exit 1
        cp "$out/$name.redb" "$out/$name.copy" && "$oracle" dump "$out/$name.copy" >"$out/$name.dump" || exit 1
        rm -f "$out/$name.copy"
    done
    ;;
verify)
    failed=0 checked=0
    tmp=$(mktemp -d) || exit 1
    for expected in "$build"/history-files/*/expected-rows; do
        [ -f "$expected" ] || continue
        dir=$(dirname "$expected")
        case_name=$(basename "$dir")
        cp "$dir/data/history.redb" "$tmp/db" || { failed=1; continue; }
        if ! "$oracle" check "$tmp/db" >"$tmp/check" 2>&1; then
            echo "$case_name: the real library rejects the file: $(cat "$tmp/check")"
            failed=1
        elif ! "$oracle" dump "$tmp/db" | grep -v '^#' | cmp -s - "$expected"; then
            echo "$case_name: the table differs from what the test expected"
            failed=1
        else
            echo "$case_name: ok"
        fi
        checked=$((checked + 1))
    done
    rm -rf "$tmp"
    [ "$checked" -gt 0 ] || { echo "no history files to check"; exit 1; }
    exit $failed
    ;;
*)
    echo "usage: history_files.sh prepare|verify ORACLE BUILD_DIR" >&2
    exit 2
    ;;
esac
