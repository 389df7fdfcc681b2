#!/usr/bin/env bash
# Builds every fuzz target (fuzz/*_fuzz.cpp) with clang's libFuzzer, AddressSanitizer and UBSan
# into build/fuzz; fuzz/run.sh runs one. Each target links the whole native code base.
# clang 16 gates libstdc++'s std::expected behind the C++20 concepts level it lacks; the part
# of it that we use compiles fine, so the feature level is raised by hand.
set -euo pipefail
cd "$(dirname "$0")/.."
out=build/fuzz
mkdir -p "$out/obj"
cxx=${CXX:-clang++-16}
flags=(-std=c++2b -O1 -g -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
       -fno-omit-frame-pointer -Wno-macro-redefined -D__cpp_concepts=202002L
       -Ios/include -Ios/src -Isnv-core/src -Iredb/include -Iredb/src)
mapfile -t sources < <(find os/src snv-core/src redb/src -name '*.cpp' ! -path '*/win32/*' | sort)
# An object is rebuilt when its source or any header it included (listed by -MMD) is newer.
stale() {
  local obj=$1 dep=$1.d f
  [ -f "$obj" ] && [ -f "$dep" ] || return 0
  for f in $(sed -e 's/^[^:]*://' -e 's/\\$//' "$dep"); do
    [ "$f" -nt "$obj" ] && return 0
  done
  return 1
}
objects=()
for src in "${sources[@]}"; do
  obj=$out/obj/$(echo "$src" | tr '/' '_').o
  if stale "$obj"; then "$cxx" "${flags[@]}" -MMD -MF "$obj.d" -c "$src" -o "$obj"; fi
  objects+=("$obj")
done
for target in fuzz/*_fuzz.cpp; do
  name=$(basename "$target" .cpp)
  echo "fuzz: building $out/$name"
  "$cxx" "${flags[@]}" -fsanitize=fuzzer "$target" "${objects[@]}" -o "$out/$name"
done
