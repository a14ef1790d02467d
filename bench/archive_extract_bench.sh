#!/usr/bin/env bash
# The archive layer (under Wine) against Info-ZIP's unzip (on the host) on the
# same package, in alternating rounds, into folders on the same file system.
#
#   bench/archive_extract_bench.sh [BUILD_DIR] [ROUNDS]
#
# BUILD_DIR is a test build (default build/tests) with bench_archive_extract
# built. The layer's times are measured inside the Windows program, so Wine's
# start-up is not counted; unzip's include its own start, which is tiny.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$root/build/tests}" && pwd)
rounds=${2:-3}
exe=$build/bench/bench_archive_extract.exe
session=$root/scripts/wine-session
[ -x "$exe" ] || { echo "build bench_archive_extract in $build first" >&2; exit 1; }
command -v unzip >/dev/null || { echo "unzip is not installed" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/archive-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
winpath() { echo "Z:${1//\//\\}"; }

"$session" start "$build" --owner $$
"$session" run "$build" "$exe" --write "$(winpath "$work/package.zip")"

now() { date +%s.%N; }
layer=() host=() host_small=() host_large=()
for ((round = 1; round <= rounds; round++)); do
  line=$("$session" run "$build" "$exe" --extract "$(winpath "$work/package.zip")" "$(winpath "$work/layer")" 1 |
         grep '^round')
  echo "layer round $round:${line#*:}"
  layer+=("$(sed -E 's/.*total ([0-9.]+) s.*/\1/' <<<"$line")")
  rm -rf "$work/layer"

  for part in all small large; do
    rm -rf "$work/unzip"; mkdir -p "$work/unzip"
    sync
    case $part in
      all) args=() ;;
      small) args=(-x bin/large.dat) ;;
      large) args=(bin/large.dat) ;;
    esac
    start=$(now)
    unzip -o -q "$work/package.zip" "${args[@]}" -d "$work/unzip"
    seconds=$(echo "$(now) - $start" | bc -l)
    case $part in
      all) host+=("$seconds") ;;
      small) host_small+=("$seconds") ;;
      large) host_large+=("$seconds") ;;
    esac
  done
  printf 'unzip round %d: small %.3f s, large %.3f s, total %.3f s\n' "$round" \
    "${host_small[-1]}" "${host_large[-1]}" "${host[-1]}"
  rm -rf "$work/unzip"
done

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
m_layer=$(median "${layer[@]}")
m_host=$(median "${host[@]}")
printf 'median: layer %.3f s, unzip %.3f s, ratio layer/unzip %.2f\n' "$m_layer" "$m_host" \
  "$(echo "$m_layer / $m_host" | bc -l)"
