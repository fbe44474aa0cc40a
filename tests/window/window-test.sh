#!/usr/bin/env bash
# A real window on a virtual X server: the show stays up, sleeps while another
# window has the focus, and ends with status 0 when its window is closed.
# Usage: window-test.sh PROGRAM XWIN
set -u
program=$1 xwin=$2
command -v xvfb-run >/dev/null || { echo "xvfb-run missing"; exit 77; }
if [ -z "${QH_IN_XVFB:-}" ]; then
    export QH_IN_XVFB=1
    exec xvfb-run -a -s '-screen 0 1024x768x24' "$0" "$@"
fi
unset SDL_VIDEODRIVER SDL_AUDIODRIVER
export QH_DIALOG_ANSWER=yes
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
python3 - "$dir/demo.pak" <<'PY'
import base64, sys, zipfile
# A 16 x 4 grey JPEG as the loading picture.
loading = base64.b64decode(
    '/9j/4AAQSkZJRgABAQAAAQABAAD/2wBDAAgGBgcGBQgHBwcJCQgKDBQNDAsLDBkSEw8UHRofHh0aHBwgJC4nICIsIxwcKDcpLDAxNDQ0Hyc5PTgyPC4zNDL/wAALCAAEABABAREA/8QAHwAAAQUBAQEBAQEAAAAAAAAAAAECAwQFBgcICQoL/8QAtRAAAgEDAwIEAwUFBAQAAAF9AQIDAAQRBRIhMUEGE1FhByJxFDKBkaEII0KxwRVS0fAkM2JyggkKFhcYGRolJicoKSo0NTY3ODk6Q0RFRkdISUpTVFVWV1hZWmNkZWZnaGlqc3R1dnd4eXqDhIWGh4iJipKTlJWWl5iZmqKjpKWmp6ipqrKztLW2t7i5usLDxMXGx8jJytLT1NXW19jZ2uHi4+Tl5ufo6erx8vP09fb3+Pn6/9oACAEBAAA/AMOiv//Z')
with zipfile.ZipFile(sys.argv[1], 'w') as z:
    z.writestr('iseeyou.mp3', 'module')
    z.writestr('loading.jpg', loading)
PY
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
