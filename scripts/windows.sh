# The Windows build, shared by ./run --windows and ./test. Sourced after
# scripts/setup.sh, with $root set to the top of the checkout.
#
# Debian has mingw-w64, but not SDL2, libopenmpt, libjpeg-turbo or minizip
# for it: those and zlib are cross-built static, once, from Debian's
# own source packages (fetched by apt through a deb-src list of our own; the
# system's apt configuration is left alone) into build-win-deps/, which
# survives a fresh build-win/. Their licences are kept in
# build-win-deps/licences/ for whatever ships the program.

qh_win_dir="$root/build-win"
qh_win_deps_dir="$root/build-win-deps"
export QH_WIN_PREFIX="$qh_win_deps_dir/prefix"

# One step of the dependency build, in a subshell that stops at its first
# failing command, its output in a log that a failure names.
qh_win_step() {
    local name="$1" log="$qh_win_deps_dir/logs/$1.log" errexit=0 status
    shift
    echo "  $name" >&2
    [[ $- == *e* ]] && errexit=1
    set +e
    (set -e; "$@") >"$log" 2>&1
    status=$?
    [ $errexit -eq 1 ] && set -e
    if [ $status -ne 0 ]; then
        echo "Error: the Windows dependency step '$name' failed; its log: $log" >&2
        tail -n 20 "$log" >&2
        exit 1
    fi
}

qh_win_fetch() {
    local deps="$qh_win_deps_dir"
    mkdir -p "$deps/lists/partial"
    echo "deb-src http://deb.debian.org/debian bookworm main" >"$deps/sources.list"
    local apt=(-o Dir::Etc::SourceList="$deps/sources.list" -o Dir::Etc::SourceParts=/dev/null
        -o Dir::State::Lists="$deps/lists" -o Debug::NoLocking=1)
    cd "$deps/src"
    apt-get "${apt[@]}" update
    apt-get "${apt[@]}" source --download-only libsdl2 libopenmpt libjpeg-turbo zlib
}

qh_win_unpack() {
    cd "$qh_win_deps_dir/src"
    rm -rf sdl2 openmpt jpeg zlib
    mkdir sdl2 openmpt jpeg zlib
    tar -xf libsdl2_*.orig.tar.* -C sdl2 --strip-components=1
    tar -xf libopenmpt_*.orig.tar.* -C openmpt --strip-components=1
    tar -xf libjpeg-turbo_*.orig.tar.* -C jpeg --strip-components=1
    tar -xf zlib_*.orig.tar.* -C zlib --strip-components=1
}

qh_win_sdl2() {
    local src="$qh_win_deps_dir/src" prefix="$QH_WIN_PREFIX"
    cmake -S "$src/sdl2" -B "$src/sdl2-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/scripts/mingw-w64.cmake" -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL2_DISABLE_SDL2MAIN=ON
    cmake --build "$src/sdl2-build" -j2
    cmake --install "$src/sdl2-build"
    # A static link needs SDL's Windows libraries too; the show has its own
    # main, so SDL2main stays out.
    printf 'prefix=%s\nName: sdl2\nDescription: SDL2, static\nVersion: 2.26.5\nCflags: -I${prefix}/include/SDL2\nLibs: -L${prefix}/lib -lSDL2 -mwindows -lm -lkernel32 -luser32 -lgdi32 -lwinmm -limm32 -lole32 -loleaut32 -lversion -luuid -ladvapi32 -lsetupapi -lshell32\n' \
        "$prefix" >"$prefix/lib/pkgconfig/sdl2.pc"
}

qh_win_jpeg() {
    local src="$qh_win_deps_dir/src" prefix="$QH_WIN_PREFIX"
    cmake -S "$src/jpeg" -B "$src/jpeg-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/scripts/mingw-w64.cmake" -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DENABLE_SHARED=0 -DWITH_TURBOJPEG=0 -DWITH_SIMD=1 -DREQUIRE_SIMD=1 -DCMAKE_ASM_NASM_COMPILER=nasm
    cmake --build "$src/jpeg-build" -j2 --target jpeg-static
    cp "$src/jpeg-build/libjpeg.a" "$prefix/lib/"
    cp "$src/jpeg/jpeglib.h" "$src/jpeg/jmorecfg.h" "$src/jpeg/jerror.h" "$src/jpeg-build/jconfig.h" "$prefix/include/"
    printf 'prefix=%s\nName: libjpeg\nDescription: libjpeg-turbo, static\nVersion: 2.1.5\nLibs: -L${prefix}/lib -ljpeg\nCflags: -I${prefix}/include\n' \
        "$prefix" >"$prefix/lib/pkgconfig/libjpeg.pc"
}

qh_win_openmpt() {
    local src="$qh_win_deps_dir/src" prefix="$QH_WIN_PREFIX"
    cd "$src/openmpt"
    PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" ./configure --host=x86_64-w64-mingw32 --prefix="$prefix" \
        CC=x86_64-w64-mingw32-gcc-posix CXX=x86_64-w64-mingw32-g++-posix CFLAGS=-O2 CXXFLAGS=-O2 \
        --disable-shared --enable-static --disable-openmpt123 --disable-examples --disable-tests \
        --disable-doxygen-doc --without-zlib --without-mpg123 --without-ogg --without-vorbis \
        --without-vorbisfile --without-pulseaudio --without-portaudio --without-portaudiocpp \
        --without-sndfile --without-flac --without-sdl2
    make -j2
    make install
    printf 'prefix=%s\nName: libopenmpt\nDescription: libopenmpt, static\nVersion: 0.6.9\nLibs: -L${prefix}/lib -lopenmpt -lole32 -lrpcrt4\nCflags: -I${prefix}/include\n' \
        "$prefix" >"$prefix/lib/pkgconfig/libopenmpt.pc"
}

# zlib and minizip's unzip side (all the archive reader needs), compiled from
# zlib's source: mingw's own zlib package would link its DLL.
qh_win_minizip() {
    local src="$qh_win_deps_dir/src" prefix="$QH_WIN_PREFIX" f
    mkdir -p "$prefix/include/minizip" "$src/zlib-obj"
    for f in adler32 compress crc32 deflate infback inffast inflate inftrees trees uncompr zutil; do
        x86_64-w64-mingw32-gcc-posix -O2 -c "$src/zlib/$f.c" -o "$src/zlib-obj/$f.o"
    done
    x86_64-w64-mingw32-ar rcs "$prefix/lib/libz.a" "$src"/zlib-obj/*.o
    cp "$src/zlib/zlib.h" "$src/zlib/zconf.h" "$prefix/include/"
    for f in unzip ioapi; do
        x86_64-w64-mingw32-gcc-posix -O2 -c "$src/zlib/contrib/minizip/$f.c" -I"$prefix/include" -DNOCRYPT \
            -o "$src/zlib-obj/minizip-$f.o"
    done
    x86_64-w64-mingw32-ar rcs "$prefix/lib/libminizip.a" "$src"/zlib-obj/minizip-*.o
    cp "$src/zlib/contrib/minizip/unzip.h" "$src/zlib/contrib/minizip/ioapi.h" "$prefix/include/minizip/"
    printf 'prefix=%s\nName: zlib\nDescription: zlib, static\nVersion: 1.2.13\nLibs: -L${prefix}/lib -lz\nCflags: -I${prefix}/include\n' \
        "$prefix" >"$prefix/lib/pkgconfig/zlib.pc"
    printf 'prefix=%s\nName: minizip\nDescription: minizip, static\nVersion: 1.2.13\nRequires: zlib\nLibs: -L${prefix}/lib -lminizip\nCflags: -I${prefix}/include\n' \
        "$prefix" >"$prefix/lib/pkgconfig/minizip.pc"
}

qh_win_licences() {
    local src="$qh_win_deps_dir/src" out="$qh_win_deps_dir/licences"
    mkdir -p "$out"
    cp "$src/sdl2/LICENSE.txt" "$out/SDL2.txt"
    cp "$src/openmpt/LICENSE" "$out/libopenmpt.txt"
    cp "$src/jpeg/LICENSE.md" "$out/libjpeg-turbo.md"
    cp "$src/jpeg/README.ijg" "$out/libjpeg-turbo-ijg.txt"
    cp "$src/zlib/LICENSE" "$out/zlib.txt" 2>/dev/null || sed -n '/Copyright notice/,$p' "$src/zlib/README" >"$out/zlib.txt"
    sed -n '1,40p' "$src/zlib/contrib/minizip/unzip.h" >"$out/minizip.txt"
}

# The static libraries in build-win-deps/prefix, built once.
qh_win_deps() {
    [ -f "$QH_WIN_PREFIX/.done" ] && return 0
    echo "Cross-building the Windows libraries once into $qh_win_deps_dir (about 6 minutes):" >&2
    rm -rf "$QH_WIN_PREFIX"
    mkdir -p "$qh_win_deps_dir/src" "$qh_win_deps_dir/logs" "$QH_WIN_PREFIX/lib/pkgconfig" "$QH_WIN_PREFIX/include"
    if ! ls "$qh_win_deps_dir"/src/libsdl2_*.orig.tar.* "$qh_win_deps_dir"/src/libopenmpt_*.orig.tar.* \
        "$qh_win_deps_dir"/src/libjpeg-turbo_*.orig.tar.* "$qh_win_deps_dir"/src/zlib_*.orig.tar.* >/dev/null 2>&1; then
        qh_win_step fetch qh_win_fetch
    fi
    qh_win_step unpack qh_win_unpack
    qh_win_step minizip qh_win_minizip
    qh_win_step libjpeg-turbo qh_win_jpeg
    qh_win_step sdl2 qh_win_sdl2
    qh_win_step libopenmpt qh_win_openmpt
    qh_win_step licences qh_win_licences
    touch "$QH_WIN_PREFIX/.done"
}

# build-win/quietharbor.exe with the native build's demo.pak and textures/
# beside it (the caller builds build/ first).
qh_win_build() {
    qh_win_deps
    if [ ! -f "$qh_win_dir/CMakeCache.txt" ]; then
        cmake -S "$root" -B "$qh_win_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_TOOLCHAIN_FILE="$root/scripts/mingw-w64.cmake" -DQH_TESTS=OFF -DQH_BENCH=OFF >/dev/null
    fi
    cmake --build "$qh_win_dir" -j2 --target quietharbor
    cp -p "$root/build/demo.pak" "$qh_win_dir/"
    rm -rf "$qh_win_dir/textures"
    cp -pr "$root/build/textures" "$qh_win_dir/"
}
