# Sourced by compare.sh and instructions.sh from the repository root: builds the serde program
# offline against Debian's crates (installed here when missing) and json_read_bench (native
# preset), and has json_read_bench write the files. Sets $serde, $ours and $files.
jobs=${SNV_JOBS:-3}

crates=(librust-serde-json-dev librust-serde-derive-dev librust-chrono-dev)
missing=()
for p in "${crates[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
command -v cargo >/dev/null || { echo "cargo is needed (apt-get install cargo)"; exit 1; }

export CARGO_TARGET_DIR=$PWD/build/serde-bench
(cd bench/serde && cargo build --release --offline --quiet -j "$jobs")
serde=$CARGO_TARGET_DIR/release/serde-read-bench

[ -d build/native ] || cmake --preset native >/dev/null
cmake --build build/native --target json_read_bench -j "$jobs" >/dev/null
ours=build/native/bench/json_read_bench

files=build/serde-bench/files
mkdir -p "$files"
"$ours" make "$files"

