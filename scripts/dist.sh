# The release archives of ./run --dist. Sourced after scripts/setup.sh,
# with $root set to the top of the checkout.
#
# The Linux program links libopenmpt, minizip, libjpeg, zlib and the C++
# run-time statically and takes SDL2 from the libSDL2-2.0.so.0 shipped beside
# it (a RUNPATH of $ORIGIN), so it needs nothing of ours on the viewer's
# system. Debian ships static archives of minizip, libjpeg and zlib but not of
# libopenmpt (nor of the mpg123 and vorbis it links), so libopenmpt is built
# once from Debian's source package with every optional library off: the
# show's module needs none of them. Debian's own libSDL2 links X11, Wayland,
# libdecor, PulseAudio, ALSA and libsamplerate directly, which a viewer's
# system may lack; the one shipped is built from Debian's source with SDL's
# own defaults, which load those at run time, when present.

qh_dist_deps_dir="$root/build-dist-deps"
qh_dist_dir="$root/build-dist"
qh_dist_out="$root/dist"

# Runs one step of the dependency build, its output in a log that is named
# when it fails. The step stops at its first failing command: set -e holds in
# the subshell only because it is not the condition of an if or ||.
qh_dist_step() {
    local name="$1" log="$qh_dist_deps_dir/${1// /-}.log" status errexit=0
    shift
    echo "Release dependencies: $name (once; log in $log)" >&2
    [[ $- == *e* ]] && errexit=1
    set +e
    (
        set -e
        "$@"
    ) >"$log" 2>&1
    status=$?
    [ $errexit = 1 ] && set -e
    if [ $status -ne 0 ]; then
        echo "Release dependencies: $name failed; see $log" >&2
        exit 1
    fi
}

# Debian's source package of each name into build-dist-deps/src, once.
qh_dist_fetch() {
    local deps="$qh_dist_deps_dir" missing=()
    mkdir -p "$deps/lists/partial" "$deps/src"
    for p in "$@"; do
        ls "$deps/src/${p}_"*.orig.tar.* >/dev/null 2>&1 || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "deb-src http://deb.debian.org/debian bookworm main" >"$deps/sources.list"
    local apt=(-o Dir::Etc::SourceList="$deps/sources.list" -o Dir::Etc::SourceParts=/dev/null
        -o Dir::State::Lists="$deps/lists" -o Debug::NoLocking=1)
    (cd "$deps/src" && apt-get "${apt[@]}" -qq update && apt-get "${apt[@]}" -qq source --download-only "${missing[@]}")
}

qh_dist_unpack() {
    local src="$qh_dist_deps_dir/src"
    rm -rf "${src:?}/$1"
    mkdir "$src/$1"
    tar -xf "$src/$1_"*.orig.tar.* -C "$src/$1" --strip-components=1
}

qh_dist_openmpt() {
    local prefix="$qh_dist_deps_dir/prefix"
    qh_dist_unpack libopenmpt
    cd "$qh_dist_deps_dir/src/libopenmpt"
    ./configure --prefix="$prefix" --disable-shared --enable-static --with-pic \
        --disable-openmpt123 --disable-examples --disable-tests --disable-doxygen-doc \
        --without-zlib --without-mpg123 --without-ogg --without-vorbis --without-vorbisfile \
        --without-pulseaudio --without-portaudio --without-portaudiocpp --without-sdl2 \
        --without-sndfile --without-flac
    make -j2
    make install
    mkdir -p "$prefix/licences"
    tar -xJOf "$qh_dist_deps_dir/src/"libopenmpt_*.debian.tar.xz debian/copyright >"$prefix/licences/libopenmpt.txt"
}

qh_dist_sdl2() {
    local prefix="$qh_dist_deps_dir/prefix" src="$qh_dist_deps_dir/src"
    qh_dist_unpack libsdl2
    cmake -S "$src/libsdl2" -B "$src/libsdl2-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DSDL_SHARED=ON -DSDL_STATIC=OFF -DSDL_TEST=OFF -DSDL_RPATH=OFF
    cmake --build "$src/libsdl2-build" -j2
    mkdir -p "$prefix/sdl2" "$prefix/licences"
    cp -L "$src/libsdl2-build/libSDL2-2.0.so.0" "$prefix/sdl2/"
    strip --strip-unneeded "$prefix/sdl2/libSDL2-2.0.so.0"
    tar -xJOf "$src/"libsdl2_*.debian.tar.xz debian/copyright >"$prefix/licences/SDL2.txt"
}

# libopenmpt (static) and SDL2 (shared, to ship) under build-dist-deps/prefix.
qh_dist_deps() {
    local prefix="$qh_dist_deps_dir/prefix"
    [ -f "$prefix/.openmpt-done" ] && [ -f "$prefix/.sdl2-done" ] && return 0
    mkdir -p "$prefix"
    qh_dist_step "source packages" qh_dist_fetch libopenmpt libsdl2
    if [ ! -f "$prefix/.openmpt-done" ]; then
        qh_dist_step libopenmpt qh_dist_openmpt
        touch "$prefix/.openmpt-done"
    fi
    if [ ! -f "$prefix/.sdl2-done" ]; then
        qh_dist_step SDL2 qh_dist_sdl2
        touch "$prefix/.sdl2-done"
    fi
}

# build-dist/quietharbor: the program linked for the release.
qh_dist_build() {
    qh_dist_deps
    if [ ! -f "$qh_dist_dir/build.ninja" ]; then
        cmake -S "$root" -B "$qh_dist_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQH_TESTS=OFF -DQH_BENCH=OFF \
            -DQH_STATIC_DEPS=ON -DQH_DEPS_PREFIX="$qh_dist_deps_dir/prefix" >/dev/null
    fi
    cmake --build "$qh_dist_dir" -j"$(nproc)" --target quietharbor
}

# A fresh folder build-dist/stage/NAME with what every archive holds: the
# show's data from the native build in build/, README.txt of the kind given
# (linux, win64, web; the keys and switches put in) and licences/ with the
# show's own notice.
qh_dist_stage() {
    local stage="$qh_dist_dir/stage/$1" kind="$2" release="$root/scripts/release"
    rm -rf "$stage"
    mkdir -p "$stage/licences"
    cp "$root/build/demo.pak" "$stage/"
    cp -r "$root/build/textures" "$stage/"
    sed -e "/@SWITCHES@/{r $release/switches.txt" -e "d}" "$release/README-$kind.txt" >"$stage/README.txt"
    cp "$release/quietharbor-notice.txt" "$stage/licences/quietharbor.txt"
}

# Every file dated at the last commit, so one checkout always gives the same
# archives byte for byte.
qh_dist_date() {
    local when
    when=$(git -C "$root" log -1 --format=%ct 2>/dev/null) || when=$(date +%s)
    find "$1" -exec touch -h -d "@$when" {} +
}

# dist/NAME.tar.gz or dist/NAME.zip of build-dist/stage/NAME, holding the
# folder NAME.
qh_dist_tar() {
    local stage="$qh_dist_dir/stage"
    qh_dist_date "$stage/$1"
    mkdir -p "$qh_dist_out"
    tar --sort=name --owner=0 --group=0 --numeric-owner -C "$stage" -cf - "$1" | gzip -9n >"$qh_dist_out/$1.tar.gz"
}
qh_dist_zip() {
    local stage="$qh_dist_dir/stage"
    qh_dist_date "$stage/$1"
    mkdir -p "$qh_dist_out"
    rm -f "$qh_dist_out/$1.zip"
    (cd "$stage" && find "$1" | LC_ALL=C sort | zip -X -q -9 "$qh_dist_out/$1.zip" -@)
}

# A licence file from Debian's documentation of an installed package.
qh_dist_licence() {
    if [ ! -f "/usr/share/doc/$1/copyright" ]; then
        echo "No licence of $1 here (/usr/share/doc/$1/copyright): is it installed?" >&2
        exit 1
    fi
    cp "/usr/share/doc/$1/copyright" "$2"
}

qh_dist_linux() {
    local name=quietharbor-linux-x86_64 stage="$qh_dist_dir/stage/quietharbor-linux-x86_64"
    local prefix="$qh_dist_deps_dir/prefix"
    qh_dist_stage $name linux
    cp "$root/scripts/release/quietharbor" "$stage/"
    strip -o "$stage/quietharbor.bin" "$qh_dist_dir/quietharbor"
    cp "$prefix/sdl2/libSDL2-2.0.so.0" "$stage/"
    cp "$prefix/licences/SDL2.txt" "$prefix/licences/libopenmpt.txt" "$stage/licences/"
    qh_dist_licence zlib1g "$stage/licences/zlib.txt"
    qh_dist_licence libminizip1 "$stage/licences/minizip.txt"
    qh_dist_licence libjpeg62-turbo "$stage/licences/libjpeg-turbo.txt"
    qh_dist_tar $name
}

# The page as ./run --web serves it, with the licences of what the build
# compiled into it: zlib, minizip and libjpeg-turbo from Debian's sources,
# libopenmpt and its player from chiptune3, and emscripten's run-time.
qh_dist_web() {
    local name=quietharbor-web stage="$qh_dist_dir/stage/quietharbor-web" page="$root/build-web/page"
    local chiptune="$root/platform/web/page/node_modules/chiptune3"
    qh_dist_stage $name web
    (cd "$page" && cp -r $(ls -A | grep -vx -e demo.pak -e textures) "$stage/")
    cp "$page/LICENSE.libopenmpt" "$stage/licences/libopenmpt.txt"
    cp "$chiptune/LICENSE" "$stage/licences/chiptune3.txt"
    qh_dist_licence zlib1g "$stage/licences/zlib.txt"
    qh_dist_licence libminizip1 "$stage/licences/minizip.txt"
    qh_dist_licence libjpeg62-turbo "$stage/licences/libjpeg-turbo.txt"
    qh_dist_licence emscripten "$stage/licences/emscripten.txt"
    qh_dist_zip $name
}

# The Windows program from ./run --windows (build-win/), one static exe,
# with the licences its dependency build kept and the mingw-w64 run-time's.
# Text files get Windows' line ends.
qh_dist_win64() {
    local name=quietharbor-win64 stage="$qh_dist_dir/stage/quietharbor-win64"
    qh_dist_stage $name win64
    cp "$root/build-win/quietharbor.exe" "$stage/"
    cp "$root/build-win-deps/licences/"* "$stage/licences/"
    [ -f "$stage/licences/mingw-w64.txt" ] || qh_dist_licence mingw-w64-common "$stage/licences/mingw-w64.txt"
    find "$stage" -name '*.txt' -exec sed -i 's/\r*$/\r/' {} +
    qh_dist_zip $name
}

# ./run --dist: the three archives in dist/, the Windows program built (or
# brought up to date) as ./run --windows builds it. Should it be missing
# all the same, the other two are written and the status is 1, so an
# incomplete release is not taken for a whole one.
qh_dist_all() {
    local status=0
    qh_build OFF quietharbor qh_data >&2
    qh_dist_build >&2
    qh_dist_linux
    qh_web_install
    qh_web_build >&2
    qh_dist_web
    rm -f "$qh_dist_out/quietharbor-win64.zip"
    qh_win_build >&2
    if [ -f "$root/build-win/quietharbor.exe" ]; then
        qh_dist_win64
    else
        echo "No Windows program (build-win/quietharbor.exe): dist/quietharbor-win64.zip is not written." >&2
        status=1
    fi
    echo "The release archives:"
    (cd "$qh_dist_out" && ls -l quietharbor-*)
    return $status
}

# What tests/dist checks, for ./test: the Linux and browser archives, and the
# Windows one where build-win/ holds the program.
qh_dist_tests_archives() {
    qh_dist_build
    qh_dist_linux
    qh_dist_web
    rm -f "$qh_dist_out/quietharbor-win64.zip"
    if [ -f "$root/build-win/quietharbor.exe" ]; then
        qh_dist_win64
    fi
}
