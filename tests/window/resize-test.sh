#!/usr/bin/env bash
# The window on a 1920 x 1080 X server beside a window manager that lets
# windows keep their size. The probe's test picture fills the default window
# (1280 x 960) and, resized by xdotool to a wide and a tall shape, keeps its
# 4:3 shape with black bars (the probe checks a screenshot each time). The
# program opens the size -windowed asks for and the default size when
# -windowed is followed by another switch, loads no GL stack and stays within
# 60 MB.
# Usage: resize-test.sh PROGRAM PROBE XWIN DEMO.PAK
set -u
program=$1 probe=$2 xwin=$3 pak=$4
for tool in Xvfb evilwm xdotool xwd; do
    command -v $tool >/dev/null || { echo "$tool missing"; exit 77; }
done
unset SDL_VIDEODRIVER
export SDL_AUDIODRIVER=dummy QH_DIALOG_ANSWER=yes
dir=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$dir"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

# A display of its own: the server takes a free number and says which.
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$dir/display" 2>"$dir/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$dir/display" ] && break; sleep 0.1; done
[ -s "$dir/display" ] || { cat "$dir/xvfb.log"; fail "Xvfb did not start"; }
export DISPLAY=:$(cat "$dir/display")
evilwm >/dev/null 2>&1 &
pids+=($!)
sleep 1

"$probe" resize "$dir/shot.xwd" 1280x960 1000x600 700x900 || fail "the probe's picture"

ln -s "$pak" "$dir/demo.pak"
ln -s "$(dirname "$pak")/textures" "$dir/textures"
cd "$dir" || exit 1

# Starts the show with the given switches and waits for its window to take
# the given size; leaves the show's process id in $show.
start() {
    local size=$1
    shift
    "$program" "$@" 2>"$dir/stderr" &
    show=$!
    pids+=($show)
    "$xwin" wait "Quiet Harbor" || fail "no window for $*"
    local id seen=""
    id=$(xdotool search --name '^Quiet Harbor$' | head -1)
    for _ in $(seq 100); do
        seen=$(xdotool getwindowgeometry --shell "$id" | awk -F= '/WIDTH/ {w = $2} /HEIGHT/ {h = $2} END {print w "x" h}')
        [ "$seen" = "$size" ] && break
        sleep 0.1
    done
    echo "$*: window $seen"
    [ "$seen" = "$size" ] || fail "$* opened a window of $seen, not $size"
}

# Closes the window and checks that the show ended well.
stop() {
    "$xwin" close "Quiet Harbor"
    wait "$show"
    local status=$?
    cat "$dir/stderr"
    [ "$status" -eq 0 ] || fail "exit status $status"
    ! grep -q "Error:" "$dir/stderr" || fail "an error was reported"
}

start 800x600 -windowed 800x600 -figures
sleep 3 # the show is running and presenting
gl=$(grep -E 'lib(GL|EGL|GLX)|_dri\.so' /proc/$show/maps | awk '{print $6}' | sort -u)
stop
[ -z "$gl" ] || fail "a GL stack was loaded: $gl"
peak=$(sed -n 's/^peak memory: \([0-9]*\) MB.*/\1/p' "$dir/stderr")
[ -n "$peak" ] && [ "$peak" -le 60 ] || fail "peak memory ${peak:-unknown} MB, more than 60 MB"

start 1280x960 -windowed -slow
stop
exit 0
