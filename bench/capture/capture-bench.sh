#!/usr/bin/env bash
# The speed of an encoded capture against the encoder alone: the program
# captures orders START to END to .mp4 at each size (ours: the show drawn,
# converted, enlarged and piped to ffmpeg, the music rendered and muxed),
# and ffmpeg alone encodes the same frames from a .y4m capture of the same
# window with the same options (taken from the capture's own source). The
# two run in turn, A B A B, so a machine busy with other work slows both
# alike; each line says the load average when it started. Prints each run
# and, per size, the medians as multiples of real time and their ratio
# (the goal: ours within 1.2 x of ffmpeg alone), and the processor time
# each took (user and system, its children's included), which a busy
# machine disturbs less than the wall clock. Each round also times the
# capture's last step by itself, the music encoded and muxed with the video
# (which ffmpeg alone does not do), to tell its share. Not a test: it
# reports figures.
#
# Usage: capture-bench.sh BUILD_DIR [START END] [FPS] [ROUNDS] [SIZES...]
#   defaults: orders 10 to 30, 60 frames a second, 2 rounds, 640x480 1920x1080
set -euo pipefail
build=$(cd "$1" && pwd)
start=${2:-10} end=${3:-30} fps=${4:-60} rounds=${5:-2}
shift $(($# < 5 ? $# : 5))
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(640x480 1920x1080)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
program=$build/quietharbor
command -v ffmpeg >/dev/null || { echo "capture-bench: ffmpeg is missing (the capture group of scripts/packages.txt)" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "capture-bench: GNU time is missing (the sync group of scripts/packages.txt)" >&2; exit 2; }
# The encoder's options, as the capture passes them.
options=$(sed -n '/^const char\* platCaptureEncoderOptions()/,/^}/p' "$here/../../platform/capture/PlatCaptureFfmpeg.cpp" |
    grep -o '"[^"]*"' | tr -d '"' | tr -d '\n')
[ -n "$options" ] || { echo "capture-bench: cannot read the encoder's options" >&2; exit 2; }

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
ln -s "$build/demo.pak" "$dir/demo.pak"
ln -s "$build/textures" "$dir/textures"
cd "$dir"

now() { date +%s.%N; }
load() { cut -d' ' -f1 /proc/loadavg; }
median() { sort -g | awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "capture-bench: orders $start to $end at $fps fps, $rounds rounds, ffmpeg options: $options"
printf '%-10s %-12s %5s %9s %9s %8s %10s\n' size run round seconds cpu load "x real"
for size in "${sizes[@]}"; do
    # The frames ffmpeg alone encodes, and the window's length in show time.
    "$program" -capture frames.y4m -size "$size" -fps "$fps" -start "$start" -end "$end" 2>capture.txt
    frames=$(sed -n 's/.*capture: wrote frames.y4m and frames.y4m.wav (\([0-9]*\) frames).*/\1/p' capture.txt)
    [ -n "$frames" ] || { cat capture.txt >&2; exit 1; }
    show=$(awk -v f="$frames" -v r="$fps" 'BEGIN { print f / r }')
    : >ours.txt
    : >alone.txt
    : >ours.cpu
    : >alone.cpu
    : >mux.txt
    : >mux.cpu
    for round in $(seq "$rounds"); do
        for run in ours alone mux; do
            l=$(load)
            t0=$(now)
            if [ $run = ours ]; then
                /usr/bin/time -f '%U %S' -o cpu.txt \
                    "$program" -capture show.mp4 -size "$size" -fps "$fps" -start "$start" -end "$end" 2>/dev/null
            elif [ $run = alone ]; then
                # shellcheck disable=SC2086
                /usr/bin/time -f '%U %S' -o cpu.txt ffmpeg -y -loglevel error -i frames.y4m $options alone.mkv
            else
                # The capture's mux, as PlatCaptureFfmpeg.cpp runs it.
                /usr/bin/time -f '%U %S' -o cpu.txt ffmpeg -y -loglevel error -i alone.mkv -i frames.y4m.wav \
                    -c:v copy -c:a aac -b:a 192k -shortest muxed.mp4
            fi
            cpu=$(awk '{ print $1 + $2 }' cpu.txt)
            echo "$cpu" >>$run.cpu
            t=$(awk -v a="$t0" -v b="$(now)" 'BEGIN { print b - a }')
            x=$(awk -v s="$show" -v t="$t" 'BEGIN { print s / t }')
            echo "$x" >>$run.txt
            printf '%-10s %-12s %5d %9.2f %9.2f %8s %10.3f\n' "$size" "$run" "$round" "$t" "$cpu" "$l" "$x"
        done
    done
    ours=$(median <ours.txt) alone=$(median <alone.txt)
    oursCpu=$(median <ours.cpu) aloneCpu=$(median <alone.cpu) muxCpu=$(median <mux.cpu)
    awk -v s="$size" -v o="$ours" -v a="$alone" -v f="$frames" -v sh="$show" -v oc="$oursCpu" -v ac="$aloneCpu" \
        -v mc="$muxCpu" 'BEGIN {
        printf "%-10s %d frames (%.1f s of show): ours %.3f x real time, ffmpeg alone %.3f x, ffmpeg alone / ours %.3f;", s, f, sh, o, a, a / o
        printf " processor s: ours %.1f (%.1f of it the music and mux), ffmpeg alone %.1f, ours / alone %.3f, without the music %.3f\n",
            oc, mc, ac, oc / ac, (oc - mc) / ac }'
    rm -f frames.y4m frames.y4m.wav show.mp4 alone.mkv muxed.mp4
done
