#!/usr/bin/env bash
# The music through a real sound server: PulseAudio, or PipeWire with its
# PulseAudio server, each run private to the test with a null sink, started
# and stopped here by process id. On one server the show plays two orders
# while the sink's monitor is recorded, and the recording must hold the music
# of the capture of the same orders. Then the server is killed mid-show: the
# show says so once, goes on by the clock and ends with status 0.
# "browser": the browser build's page plays the two orders in a chromium
# window on a virtual X server, into PulseAudio, with the same check.
# Usage: pulse-test.sh pulse|pipewire|browser PROGRAM HEARD DEMO.PAK [PAGE_DIR]
set -u
kind=$1 program=$2 heard=$3 pak=$4 page=${5:-}
tools="pulseaudio parec pactl"
[ "$kind" = pipewire ] && tools="pipewire pipewire-pulse wireplumber dbus-daemon parec pactl"
[ "$kind" = browser ] && tools="pulseaudio parec pactl Xvfb node chromium chromedriver"
for tool in $tools; do
    command -v $tool >/dev/null || { echo "$tool missing"; exit 77; }
done
unset SDL_AUDIODRIVER
export SDL_VIDEODRIVER=dummy QH_DIALOG_ANSWER=yes
dir=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
    rm -rf "$dir"
}
trap cleanup EXIT
ln -s "$pak" "$dir/demo.pak"
ln -s "$(dirname "$pak")/textures" "$dir/textures"
cd "$dir"

# start_server NAME: a server of its own under $dir/NAME, with a null sink
# "out" that clients play to; sets $server to the pid of the process the
# show talks to.
start_server() {
    local run="$dir/$1"
    mkdir -p "$run"
    export XDG_RUNTIME_DIR="$run" HOME="$run"
    if [ "$kind" != pipewire ]; then
        pulseaudio -n --daemonize=no --exit-idle-time=-1 --disable-shm=yes \
            --load="module-null-sink sink_name=out" --load="module-native-protocol-unix" >"$run.log" 2>&1 &
        server=$!
        pids+=($server)
    else
        dbus-daemon --session --address="unix:path=$run/bus" --nofork --nopidfile >"$run.log" 2>&1 &
        pids+=($!)
        export DBUS_SESSION_BUS_ADDRESS="unix:path=$run/bus"
        for _ in $(seq 50); do [ -S "$run/bus" ] && break; sleep 0.1; done
        pipewire >>"$run.log" 2>&1 &
        pids+=($!)
        wireplumber >>"$run.log" 2>&1 &
        pids+=($!)
        pipewire-pulse >>"$run.log" 2>&1 &
        server=$!
        pids+=($server)
    fi
    for _ in $(seq 50); do
        pactl info >/dev/null 2>&1 && break
        sleep 0.1
    done
    if [ "$kind" = pipewire ]; then
        # The session manager links new streams to the default sink once it
        # knows the sink: wait until the server says it is the default.
        for _ in $(seq 100); do
            pactl load-module module-null-sink sink_name=out >/dev/null 2>&1 && break
            sleep 0.1
        done
        pactl set-default-sink out
        for _ in $(seq 50); do
            [ "$(pactl get-default-sink 2>/dev/null)" = out ] && break
            sleep 0.1
        done
    fi
    pactl info >/dev/null 2>&1 || { echo "the $1 server did not start:"; cat "$run.log"; exit 1; }
}

# The music of orders 17 and 18 from a capture whose frames are dropped on
# the way (it ends with its last frame, 40 ms after the order).
mkfifo ref.rgb
cat ref.rgb >/dev/null &
"$program" -capture ref.rgb -fps 25 -start 17 -end 19 2>capture.err || { cat capture.err; exit 1; }

# The recorder asks for the server's default, large chunks: the schedule
# under which the device used to be given up.
start_server played
played=$server
parec -d out.monitor --format=s16le --rate=44100 --channels=2 >heard.raw &
recorder=$!
if [ "$kind" = browser ]; then
    n=70
    while [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
    Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >xvfb.log 2>&1 &
    pids+=($!)
    export DISPLAY=:$n
    node "$(dirname "$0")/../web/play.mjs" "$page" 17 19 >played.err 2>&1
else
    "$program" -start 17 -end 19 2>played.err
fi
status=$?
# The recorder receives the monitor in chunks of up to two seconds.
sleep 2.5
kill "$recorder"
wait "$recorder" 2>/dev/null

# The same server, now without a recorder, killed while the show plays its
# last order.
if [ "$kind" != browser ]; then
    "$program" -start 38 2>gone.err & show=$!
    sleep 1.5
    kill "$played"
    wait "$show"
    lostStatus=$?
fi

fail=0
echo "$kind, played: exit status $status"; cat played.err
[ "$status" -eq 0 ] || fail=1
grep -q "^Sound:" played.err && { echo "the device was given up"; fail=1; }
"$heard" ref.rgb.wav heard.raw 0.7 || { echo "the recording does not hold the music"; fail=1; }
[ "$kind" = browser ] && exit $fail
echo "$kind, server killed mid-show: exit status $lostStatus"; cat gone.err
[ "$lostStatus" -eq 0 ] || fail=1
[ "$(grep -c '^Sound:' gone.err)" -eq 1 ] || { echo "expected one Sound: line"; fail=1; }
grep -q "^Sound: the audio device was lost" gone.err || fail=1
exit $fail
