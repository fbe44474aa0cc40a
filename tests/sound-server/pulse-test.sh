#!/usr/bin/env bash
# The music through a real sound server: two private PulseAudio servers with
# a null sink each, started and stopped here by process id. On the first the
# show plays two orders while the sink's monitor is recorded, and the
# recording must hold the music of the capture of the same orders. The
# second is killed mid-show: the show says so once, goes on by the clock and
# ends with status 0.
# Usage: pulse-test.sh PROGRAM HEARD DEMO.PAK
set -u
program=$1 heard=$2 pak=$3
for tool in pulseaudio parec pactl; do
    command -v $tool >/dev/null || { echo "$tool missing"; exit 77; }
done
unset SDL_AUDIODRIVER
export SDL_VIDEODRIVER=dummy QH_DIALOG_ANSWER=yes
dir=$(mktemp -d)
servers=()
cleanup() {
    for p in "${servers[@]}"; do kill "$p" 2>/dev/null; done
    for p in "${servers[@]}"; do wait "$p" 2>/dev/null; done
    rm -rf "$dir"
}
trap cleanup EXIT
ln -s "$pak" "$dir/demo.pak"
ln -s "$(dirname "$pak")/textures" "$dir/textures"
cd "$dir"

# start_server NAME: a server of its own under $dir/NAME; prints its pid.
start_server() {
    mkdir -p "$dir/$1"
    XDG_RUNTIME_DIR="$dir/$1" HOME="$dir/$1" pulseaudio -n --daemonize=no --exit-idle-time=-1 \
        --disable-shm=yes --load="module-null-sink sink_name=out" --load="module-native-protocol-unix" \
        >"$dir/$1.log" 2>&1 &
    echo $!
}
played=$(start_server played)
gone=$(start_server gone)
servers=("$played" "$gone")
for name in played gone; do
    for _ in $(seq 50); do
        XDG_RUNTIME_DIR="$dir/$name" pactl info >/dev/null 2>&1 && continue 2
        sleep 0.1
    done
    echo "the $name server did not start:"; cat "$dir/$name.log"; exit 1
done

# A server that no recorder drives, killed while the show plays; meanwhile
# the music of orders 17 and 18 from a capture whose frames are dropped on
# the way (it ends with its last frame, 40 ms after the order).
XDG_RUNTIME_DIR="$dir/gone" "$program" -start 17 -end 18 2>gone.err & show=$!
mkfifo ref.rgb
cat ref.rgb >/dev/null &
"$program" -capture ref.rgb -fps 25 -start 17 -end 19 2>capture.err || { cat capture.err; exit 1; }
sleep 1
kill "$gone"
wait "$show"
lostStatus=$?

# The recorder asks for the server's default, large chunks: the schedule
# under which the device used to be given up. One show at a time: each keeps
# a core busy between its frames.
XDG_RUNTIME_DIR="$dir/played" parec -d out.monitor --format=s16le --rate=44100 --channels=2 >heard.raw &
recorder=$!
XDG_RUNTIME_DIR="$dir/played" "$program" -start 17 -end 19 2>played.err
status=$?
# The recorder receives the monitor in chunks of up to two seconds.
sleep 2.5
kill "$recorder"
wait "$recorder" 2>/dev/null

fail=0
echo "played: exit status $status"; cat played.err
[ "$status" -eq 0 ] || fail=1
grep -q "^Sound:" played.err && { echo "the device was given up"; fail=1; }
"$heard" ref.rgb.wav heard.raw 0.8 || { echo "the recording does not hold the music"; fail=1; }
echo "server killed mid-show: exit status $lostStatus"; cat gone.err
[ "$lostStatus" -eq 0 ] || fail=1
[ "$(grep -c '^Sound:' gone.err)" -eq 1 ] || { echo "expected one Sound: line"; fail=1; }
grep -q "^Sound: the audio device was lost" gone.err || fail=1
exit $fail
