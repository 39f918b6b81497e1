#!/usr/bin/env bash
# Runs every libFuzzer harness of a fuzz build for a short time from its seed
# corpus, two at a time, with the marker and descriptor dictionaries where a
# harness parses those. New inputs go to a scratch folder, never into the
# repository's corpora. Any crash, leak or sanitizer report fails the run.
#   scripts/run-fuzzers.sh BUILD_DIR [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
seconds=${2:-25}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

dictionary_for() {
  case "$1" in
    jpeg|packet|snapshot_file) echo "-dict=fuzz/jpeg.dict" ;;
    descriptor|camera_descriptor|profile) echo "-dict=fuzz/descriptor.dict" ;;
  esac
}

run_one() {
  local name=$1 seconds=$2 scratch=$3
  local dict
  dict=$(dictionary_for "$name")
  mkdir -p "$scratch/$name"
  # shellcheck disable=SC2086
  if "$build/bin/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
      $dict -artifact_prefix="$scratch/$name/crash-" "$scratch/$name" "fuzz/corpus/$name" \
      >"$scratch/$name.log" 2>&1; then
    echo "fuzz $name: ok"
  else
    echo "fuzz $name: FAILED"
    tail -n 40 "$scratch/$name.log"
    return 1
  fi
}
export -f run_one dictionary_for
export build

names=()
for src in fuzz/fuzz_*.cpp; do
  name=$(basename "$src" .cpp)
  names+=("${name#fuzz_}")
done
printf '%s\n' "${names[@]}" | xargs -P 2 -I{} bash -c 'run_one "$@"' _ {} "$seconds" "$scratch"
