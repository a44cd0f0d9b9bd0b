#!/usr/bin/env bash
# Frame time of each part drawn through the gl11 layer (OpenGL ES 3.0) and
# through the desktop's OpenGL, in one run: the two benchmark programs take
# turns, round by round, so that both see the same load on the machine.
#   bench/gl11_vs_desktop.sh build-bench/bench [rounds]
# Prints per part the median over the rounds of the wall time per frame and
# of the process CPU time per frame (llvmpipe's threads included), and the
# layer's ratio to the desktop for each.
set -euo pipefail
dir=${1:?folder of bench_scene_frames and bench_scene_frames_es3}
rounds=${2:-3}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for ((r = 0; r < rounds; ++r)); do
  for b in bench_scene_frames bench_scene_frames_es3; do
    # part wall_ms cpu_all_ms, one line per part
    "$dir/$b" --benchmark_filter='^PartFrame/' --benchmark_min_time=1 --benchmark_counters_tabular=true \
      2>/dev/null | awk '/^PartFrame\// { split($1, n, "/"); print n[2], $2, $(NF-1) }' >>"$out/$b"
  done
done
printf '%-5s %11s %9s %6s %11s %9s %6s\n' part desktop_ms gl11_ms ratio desk_cpu gl11_cpu ratio
for part in 1 2 3 4 5 6 7 8; do
  med() { awk -v p="$part" -v c="$2" '$1 == p { print $c }' "$out/$1" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
  dw=$(med bench_scene_frames 2) ew=$(med bench_scene_frames_es3 2)
  dc=$(med bench_scene_frames 3) ec=$(med bench_scene_frames_es3 3)
  awk -v p="$part" -v dw="$dw" -v ew="$ew" -v dc="$dc" -v ec="$ec" \
    'BEGIN { printf "%-5s %11.2f %9.2f %6.2f %11.2f %9.2f %6.2f\n", p, dw, ew, ew / dw, dc, ec, ec / dc }'
done
