#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer, AddressSanitizer and UBSan into build/fuzz.
# Run one for ten minutes, say:  build/fuzz/tasks_json_fuzz -max_total_time=600 CORPUS SEEDS
# clang 16 gates libstdc++'s std::expected behind the C++20 concepts level it lacks; the part
# of it that we use compiles fine, so the feature level is raised by hand.
set -euo pipefail
cd "$(dirname "$0")/.."
out=build/fuzz
mkdir -p "$out"
cxx=${CXX:-clang++-16}
flags=(-std=c++2b -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -Wno-macro-redefined -D__cpp_concepts=202002L -Isnv-core/src)
sources=(snv-core/src/calendar/*.cpp snv-core/src/json/*.cpp snv-core/src/model/*.cpp
         snv-core/src/os/*.cpp snv-core/src/os/posix/*.cpp)
for target in fuzz/*_fuzz.cpp; do
  name=$(basename "$target" .cpp)
  echo "fuzz: building $out/$name"
  "$cxx" "${flags[@]}" "$target" "${sources[@]}" -o "$out/$name"
done
