#!/usr/bin/env bash
# Frame time of each part drawn through the gl11 layer (OpenGL ES 3.0) and
# through the desktop's OpenGL, in one run:
#   bench/gl11_vs_desktop.sh build-bench/bench [rounds]
# The two benchmark programs take turns part by part (half a second each,
# which starts in a fifth of a second), the one that goes first alternating
# from round to round, so that the two times of a pair saw the same load on
# the machine. Prints per part the medians over the rounds of the wall time
# per frame and of the process CPU time per frame (llvmpipe's threads
# included), and the median of the pairs' ratios (layer / desktop) for each,
# with the quartiles of the wall-time ratios: where they straddle 1.0 the run
# cannot tell the two apart.
set -euo pipefail
dir=${1:?folder of bench_scene_frames and bench_scene_frames_es3}
rounds=${2:-3}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
# One part, one program: "wall_ms cpu_all_ms".
frame() {
  "$dir/$1" --benchmark_filter="^PartFrame/$2/" --benchmark_min_time=0.5 --benchmark_counters_tabular=true \
    2>/dev/null | awk '/^PartFrame\// { print $2, $(NF-1) }'
}
for ((r = 0; r < rounds; ++r)); do
  for part in 1 2 3 4 5 6 7 8; do
    if ((r % 2 == 0)); then
      d=$(frame bench_scene_frames "$part") e=$(frame bench_scene_frames_es3 "$part")
    else
      e=$(frame bench_scene_frames_es3 "$part") d=$(frame bench_scene_frames "$part")
    fi
    # part desktop_wall desktop_cpu gl11_wall gl11_cpu
    echo "$part $d $e" >>"$out/pairs"
  done
done
# The median (q = 2) or a quartile (q = 1, 3) of a column of numbers.
quantile() { sort -g | awk -v q="$1" '{ v[NR] = $1 } END { i = int((NR - 1) * q / 4 + 1.5); print v[(i > NR) ? NR : i] }'; }
printf '%-5s %11s %9s %6s %11s %9s %6s %13s\n' part desktop_ms gl11_ms ratio desk_cpu gl11_cpu ratio 'ratio_q1..q3'
for part in 1 2 3 4 5 6 7 8; do
  col() { awk -v p="$part" "\$1 == p { print $1 }" "$out/pairs" | quantile "${2:-2}"; }
  dw=$(col '$2') dc=$(col '$3') ew=$(col '$4') ec=$(col '$5')
  rw=$(col '$4 / $2') rc=$(col '$5 / $3') q1=$(col '$4 / $2' 1) q3=$(col '$4 / $2' 3)
  awk -v p="$part" -v dw="$dw" -v ew="$ew" -v dc="$dc" -v ec="$ec" -v rw="$rw" -v rc="$rc" -v q1="$q1" -v q3="$q3" \
    'BEGIN { printf "%-5s %11.2f %9.2f %6.2f %11.2f %9.2f %6.2f %6.2f..%.2f\n", p, dw, ew, rw, dc, ec, rc, q1, q3 }'
done
