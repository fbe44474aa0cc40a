#!/usr/bin/env bash
# How far what is seen is from what is heard, measured as a viewer meets the
# show: the program plays in a real window on a virtual X server, its music
# through a real sound server, and ffmpeg records the screen and the server's
# monitor on one clock (the wall clock: each grab stamped when taken, each
# sound packet when it reached the sink). The recording is then aligned with
# a capture of the same orders, which is deterministic: the sound by
# correlating its envelope with the capture's WAV, each picture by finding it
# among the capture's frames (the live run's time of day pinned to the
# capture's, so both draw the same random things). Prints the offset of the
# picture against the sound along the show and at every hand-over, and its
# drift. Not a test: it runs in real time and reports figures.
#
# Usage: sync-bench.sh BUILD_DIR [pulse|pipewire] [short|long] [START END]
#   short: only the measuring recorder, which takes the monitor in 10 ms
#   fragments; long: a second recorder takes it in the server's default
#   fragments of up to two seconds, so the server buffers for a slow client.
set -euo pipefail
build=$(cd "$1" && pwd)
server=${2:-pulse} buffering=${3:-short} start=${4:-17} end=${5:-19}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
program=$build/quietharbor
for tool in Xvfb ffmpeg faketime parec pactl; do
    command -v $tool >/dev/null || { echo "sync-bench: $tool is missing (see the sync group of scripts/packages.txt)" >&2; exit 2; }
done
[ "$server" = pipewire ] && ! command -v pipewire-pulse >/dev/null && { echo "sync-bench: pipewire-pulse is missing" >&2; exit 2; }
/usr/bin/python3 -c 'import numpy' 2>/dev/null || { echo "sync-bench: python3-numpy is missing" >&2; exit 2; }

dir=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
    if [ -n "${QH_KEEP:-}" ]; then echo "sync-bench: kept $dir" >&2; else rm -rf "$dir"; fi
}
trap cleanup EXIT
ln -s "$build/demo.pak" "$dir/demo.pak"
ln -s "$build/textures" "$dir/textures"
cd "$dir"

# The capture: frames at 200 a second (every picture the show draws, its
# first appearance known to 5 ms), shrunk by ffmpeg as the recording is.
shrink=(-vf "scale=160:120:flags=area,format=gray" -f rawvideo)
mkfifo ref.rgb
ffmpeg -loglevel error -f rawvideo -pix_fmt bgr0 -s 640x480 -r 200 -i ref.rgb "${shrink[@]}" ref.gray &
shrinker=$!
SDL_VIDEODRIVER=dummy "$program" -capture ref.rgb -fps 200 -start "$start" -end "$end" -trace ref.trace 2>capture.err
wait $shrinker

# The virtual X server and the sound server, private to this run.
n=80
while [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
display=:$n
Xvfb "$display" -screen 0 640x480x24 -nolisten tcp >xvfb.log 2>&1 &
pids+=($!)
export DISPLAY=$display XDG_RUNTIME_DIR=$dir/run HOME=$dir/run
mkdir -p "$XDG_RUNTIME_DIR"
if [ "$server" = pulse ]; then
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --disable-shm=yes \
        --load="module-null-sink sink_name=out" --load="module-native-protocol-unix" >server.log 2>&1 &
    pids+=($!)
else
    # PipeWire with its PulseAudio server and session manager, on a bus of
    # their own; the null sink is made through the PulseAudio side.
    dbus-daemon --session --address="unix:path=$dir/run/bus" --nofork --nopidfile >dbus.log 2>&1 &
    pids+=($!)
    export DBUS_SESSION_BUS_ADDRESS=unix:path=$dir/run/bus
    sleep 0.3
    pipewire >server.log 2>&1 &
    pids+=($!)
    sleep 0.3
    wireplumber >wireplumber.log 2>&1 &
    pids+=($!)
    pipewire-pulse >pipewire-pulse.log 2>&1 &
    pids+=($!)
fi
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl info >/dev/null
if [ "$server" = pipewire ]; then
    pactl load-module module-null-sink sink_name=out >/dev/null
    pactl set-default-sink out
    sleep 0.5
fi
pactl info | grep -E "Server Name|Default Sink" >&2

if [ "$buffering" = long ]; then
    parec -d out.monitor >/dev/null &
    pids+=($!)
fi
# Two recorders, so that neither waits for the other: the screen, each
# grab stamped with the wall clock when taken, and the monitor, each packet
# stamped with the wall clock less what the server still held of it.
ffmpeg -loglevel info -nostats -nostdin -f x11grab -draw_mouse 0 -framerate 60 -video_size 640x480 -i "$display" \
    -copyts -vf "showinfo,scale=160:120:flags=area,format=gray" -fps_mode passthrough -f rawvideo live.gray \
    2>screen.log &
screen=$!
ffmpeg -loglevel info -nostats -nostdin -f pulse -sample_rate 44100 -channels 2 -fragment_size 1764 -i out.monitor \
    -copyts -af ashowinfo -f s16le live.raw 2>sound.log &
sound=$!
pids+=($screen $sound)
sleep 1.5
pin=(env DONT_FAKE_MONOTONIC=1 faketime -f "@2023-11-14 22:13:20")
[ -n "${QH_NO_FAKETIME:-}" ] && pin=(env)
"${pin[@]}" \
    "$program" -windowed 640x480 -start "$start" -end "$end" -trace live.trace 2>live.err || true
sleep 2.5
kill -INT $screen $sound
wait $screen $sound || true
cat live.err >&2
/usr/bin/python3 "$here/sync.py" ref.gray ref.rgb.wav ref.trace live.gray live.raw screen.log sound.log \
    "$server, $buffering buffering, orders $start-$end"
