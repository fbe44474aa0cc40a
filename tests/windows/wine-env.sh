# Sourced by the Windows build's tests: a virtual X server and a wine prefix
# of their own, both stopped by process id when the test ends.
# Needs $exe (build-win/quietharbor.exe) and $prefix (the wine prefix, kept
# between runs in the build folder: its first start takes a minute).
command -v wine >/dev/null || { echo "wine missing: the Windows build is not tried here"; exit 77; }
command -v Xvfb >/dev/null || { echo "Xvfb missing"; exit 77; }
[ -f "$exe" ] || { echo "$exe missing: ./run --windows builds it"; exit 77; }
unset SDL_VIDEODRIVER SDL_AUDIODRIVER
scratch=$(mktemp -d)
xvfb=
qh_wine_stop() {
    # wineserver -k ends the server and every Windows process of the prefix.
    [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
    rm -rf "$scratch"
}
trap qh_wine_stop EXIT
# Xvfb first, DISPLAY exported: the wine server keeps the display it started with.
exec 9>"$scratch/display"
Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 & xvfb=$!
exec 9>&-
for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.1; done
[ -s "$scratch/display" ] || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=":$(cat "$scratch/display")"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEARCH=win64
# No Mono or Gecko installer at the prefix's first start; a crash ends the
# program with a status instead of waiting at the debugger's dialog.
export WINEDLLOVERRIDES="mscoree=d;mshtml=d;winedbg.exe=d"
# Their helpers inherit standard output: kept off ctest's pipe.
wineserver -p >/dev/null 2>&1 </dev/null
wineboot >/dev/null 2>&1 </dev/null || { echo "wineboot failed"; exit 1; }
# Without a window manager wine waits 2 s for one at every closed window.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null
