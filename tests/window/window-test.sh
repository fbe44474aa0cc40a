#!/usr/bin/env bash
# A real window on a virtual X server: the show stays up, sleeps while another
# window has the focus, and ends with status 0 when its window is closed.
# Usage: window-test.sh PROGRAM XWIN DEMO.PAK
set -u
program=$1 xwin=$2 pak=$3
command -v xvfb-run >/dev/null || { echo "xvfb-run missing"; exit 77; }
if [ -z "${QH_IN_XVFB:-}" ]; then
    export QH_IN_XVFB=1
    exec xvfb-run -a -s '-screen 0 1024x768x24' "$0" "$@"
fi
unset SDL_VIDEODRIVER SDL_AUDIODRIVER
export QH_DIALOG_ANSWER=yes
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
ln -s "$pak" "$dir/demo.pak"
# The 3D scenes read their textures from the folder beside the archive.
ln -s "$(dirname "$pak")/textures" "$dir/textures"
cd "$dir"
"$program" -windowed 2>"$dir/stderr" & show=$!
"$xwin" wait "Quiet Harbor" || { echo "no window"; kill $show; exit 1; }
"$xwin" back "Quiet Harbor"
"$xwin" away "Quiet Harbor" & away=$!
sleep 1
ticks() { awk '{print $14 + $15}' /proc/$show/stat; }
before=$(ticks)
sleep 1
after=$(ticks)
"$xwin" close "Quiet Harbor"
wait $show
status=$?
kill $away 2>/dev/null
echo "inactive cpu ticks: $((after - before)), exit status: $status"
cat "$dir/stderr"
[ "$status" -eq 0 ] || exit 1
[ $((after - before)) -le 2 ] || { echo "busy while inactive"; exit 1; }
grep -q "Error:" "$dir/stderr" && exit 1
exit 0
