#!/usr/bin/env bash
# The Windows build under wine captures the same frames and music as the
# Linux build, byte for byte: the greetings (orders 17-19) and the flare scene
# in 3D (26-27), as lossless .rgb captures. Each differing frame is listed
# with its largest channel difference.
# Usage: wine-frames-test.sh EXE NATIVE DEMO.PAK WINEPREFIX FRAMEDIFF
set -u
exe=$1 native=$2 pak=$3 prefix=$4 framediff=$5
source "$(dirname "$0")/wine-env.sh"
ln -s "$pak" "$scratch/demo.pak"
ln -s "$(dirname "$pak")/textures" "$scratch/textures"
cd "$scratch"
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy QH_DIALOG_ANSWER=yes
failed=0
for window in "17 19 8" "26 27 16"; do
    set -- $window
    args="-start $1 -end $2 -fps $3"
    "$native" $args -capture linux.rgb >/dev/null 2>linux.err || { echo "native capture failed:"; cat linux.err; exit 1; }
    wine "$exe" $args -capture windows.rgb >/dev/null 2>windows.err </dev/null ||
        { echo "windows capture failed:"; tr -d '\r' <windows.err; exit 1; }
    echo "orders $1-$2 at $3 fps:"
    "$framediff" linux.rgb windows.rgb || failed=1
    if cmp -s linux.rgb.wav windows.rgb.wav; then
        echo "music: the same"
    else
        echo "music: differs ($(cmp linux.rgb.wav windows.rgb.wav | head -n 1))"
        failed=1
    fi
    rm -f linux.rgb linux.rgb.wav windows.rgb windows.rgb.wav
done
exit $failed
