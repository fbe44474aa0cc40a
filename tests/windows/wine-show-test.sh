#!/usr/bin/env bash
# The Windows build under wine: a missing archive reported as the Linux build
# reports it (in Windows' message box when there is a display), a capture into a folder that cannot be written refused, the
# frames of an .mp4 capture through the pipe to ffmpeg unchanged, and a
# real window that Alt+Enter switches to the whole screen and back and that
# ends with status 0 on Escape.
# Usage: wine-show-test.sh EXE NATIVE DEMO.PAK WINEPREFIX [SCREENSHOT.png]
set -u
exe=$1 native=$2 pak=$3 prefix=$4 shot=${5:-}
source "$(dirname "$0")/wine-env.sh"
failed=0
fail() { echo "FAILED: $*"; failed=1; }

# The missing archive: the same message and status 3 on both systems (the
# Windows build's standard error has CRLF line ends).
mkdir "$scratch/empty"
(cd "$scratch/empty" && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy QH_DIALOG_ANSWER=yes \
    "$native" -windowed >/dev/null 2>"$scratch/native.err"); native_status=$?
(cd "$scratch/empty" && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy QH_DIALOG_ANSWER=yes \
    wine "$exe" -windowed >/dev/null 2>"$scratch/win.err" </dev/null); win_status=$?
tr -d '\r' <"$scratch/win.err" >"$scratch/win-lf.err"
echo "missing archive: native status $native_status, windows status $win_status"
cat "$scratch/win-lf.err"
[ "$native_status" -eq 3 ] || fail "native status $native_status for a missing demo.pak"
[ "$win_status" -eq 3 ] || fail "windows status $win_status for a missing demo.pak"
grep -qi "demo.pak" "$scratch/win-lf.err" || fail "the report does not name demo.pak"
cmp -s "$scratch/native.err" "$scratch/win-lf.err" || { fail "the reports differ"; diff "$scratch/native.err" "$scratch/win-lf.err"; }

# With a display and nobody's answer set, the report is Windows' own message
# box, which Return closes; the status stays 3.
(cd "$scratch/empty" && unset QH_DIALOG_ANSWER && SDL_AUDIODRIVER=dummy exec wine "$exe" -windowed >/dev/null 2>/dev/null </dev/null) &
show=$!
box=
for _ in $(seq 300); do
    box=$(xdotool search --name '^XERR:$' 2>/dev/null | head -n 1)
    [ -n "$box" ] && break
    kill -0 $show 2>/dev/null || break
    sleep 0.1
done
[ -n "$box" ] || fail "no message box for the missing demo.pak"
xdotool windowfocus --sync "$box" 2>/dev/null
xdotool key Return
for _ in $(seq 100); do kill -0 $show 2>/dev/null || break; sleep 0.1; done
kill -0 $show 2>/dev/null && { fail "the message box did not close on Return"; kill $show; }
wait $show; status=$?
echo "message box: ${box:+shown and }closed, status $status"
[ "$status" -eq 3 ] || fail "status $status after the message box"

# Captures into a folder that does not exist and under a plain file.
ln -s "$pak" "$scratch/demo.pak"
ln -s "$(dirname "$pak")/textures" "$scratch/textures"
touch "$scratch/plain"
for target in "$scratch/missing/show.rgb" "$scratch/plain/show.y4m"; do
    (cd "$scratch" && QH_DIALOG_ANSWER=yes wine "$exe" -capture "$target" -start 26 -end 27 \
        >/dev/null 2>"$scratch/capture.err" </dev/null); status=$?
    echo "capture into $target: status $status"
    tr -d '\r' <"$scratch/capture.err" | grep "Error:" || fail "no Error: line for $target"
    [ "$status" -ne 0 ] || fail "status 0 for $target"
done

# The .mp4 capture's pipe to ffmpeg: refused with a clear message while
# ffmpeg.exe is not on the PATH; with a stand-in that writes what it reads,
# the frames arrive unchanged (a binary pipe) and equal what the Linux build
# pipes to the same stand-in.
(cd "$scratch" && wine "$exe" -capture "$scratch/show.mp4" -start 26 -end 27 -fps 4 \
    >/dev/null 2>"$scratch/capture.err" </dev/null); status=$?
echo "capture into .mp4 without ffmpeg: status $status"
tr -d '\r' <"$scratch/capture.err" | grep "Error:.*ffmpeg not found" || fail "no Error: line for a missing ffmpeg"
[ "$status" -ne 0 ] || fail "status 0 without ffmpeg"
if command -v x86_64-w64-mingw32-gcc-posix >/dev/null; then
    mkdir "$scratch/bin" "$scratch/native-bin"
    x86_64-w64-mingw32-gcc-posix -O2 "$(dirname "$0")/ffmpeg-stand-in.c" -o "$scratch/bin/ffmpeg.exe"
    cc -O2 "$(dirname "$0")/ffmpeg-stand-in.c" -o "$scratch/native-bin/ffmpeg"
    (cd "$scratch" && PATH="$scratch/native-bin:$PATH" SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
        "$native" -capture linux.mp4 -start 26 -end 27 -fps 4 >/dev/null 2>&1)
    (cd "$scratch" && WINEPATH="$(winepath -w "$scratch/bin")" wine "$exe" -capture "$scratch/show.mp4" -start 26 -end 27 \
        -fps 4 >/dev/null 2>"$scratch/capture.err" </dev/null); status=$?
    echo "capture into .mp4 through the stand-in: status $status, $(stat -c %s "$scratch/show.mp4" 2>/dev/null) bytes"
    [ "$status" -eq 0 ] || { fail "capture through the stand-in ended with status $status"; tr -d '\r' <"$scratch/capture.err"; }
    [ -s "$scratch/linux.mp4" ] || fail "the Linux build piped nothing to the stand-in"
    cmp "$scratch/linux.mp4" "$scratch/show.mp4" || fail "the frames through the pipe differ from the Linux capture's"
    [ ! -e "$scratch/show.mp4.video.mkv" ] || fail "the encoder's file was left behind"
    rm -f "$scratch"/linux.mp4* "$scratch"/show.mp4*
else
    echo "no mingw compiler: the pipe's bytes are not checked"
fi

# A real window (SDL's direct3d renderer, on wine's X11 driver); no sound
# device under wine here, so SDL's dummy audio driver plays.
(cd "$scratch" && SDL_AUDIODRIVER=dummy exec wine "$exe" -windowed -start 17 >/dev/null 2>"$scratch/window.err" </dev/null) &
show=$!
window=
for _ in $(seq 600); do
    window=$(xdotool search --name '^Quiet Harbor$' 2>/dev/null | head -n 1)
    [ -n "$window" ] && break
    kill -0 $show 2>/dev/null || break
    sleep 0.1
done
if [ -z "$window" ]; then
    fail "no window"
    kill $show 2>/dev/null
else
    sleep 3
    if [ -n "$shot" ]; then
        xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng >"$shot" && echo "screenshot: $shot"
    fi
    # Alt+Enter to the whole 1024 x 768 screen and back to the window's size.
    geometry() { xdotool getwindowgeometry "$window" | awk '/Geometry/ {print $2}'; }
    windowed=$(geometry)
    xdotool windowfocus --sync "$window" 2>/dev/null
    xdotool key alt+Return
    for _ in $(seq 50); do [ "$(geometry)" = 1024x768 ] && break; sleep 0.1; done
    full=$(geometry)
    xdotool key alt+Return
    for _ in $(seq 50); do [ "$(geometry)" = "$windowed" ] && break; sleep 0.1; done
    echo "window $windowed, Alt+Enter $full, again $(geometry)"
    [ "$full" = 1024x768 ] || fail "Alt+Enter did not fill the screen"
    [ "$(geometry)" = "$windowed" ] || fail "the second Alt+Enter did not bring the window back"
    kill -0 $show 2>/dev/null || fail "the show ended before Escape"
    xdotool key Escape
    for _ in $(seq 300); do kill -0 $show 2>/dev/null || break; sleep 0.1; done
    if kill -0 $show 2>/dev/null; then
        fail "the window did not close on Escape"
        kill $show
    fi
fi
wait $show; status=$?
echo "window: exit status $status"
tr -d '\r' <"$scratch/window.err"
[ "$status" -eq 0 ] || fail "window run ended with status $status"
exit $failed
