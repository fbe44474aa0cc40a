# The browser build, shared by ./run --web and ./test. Sourced after
# scripts/setup.sh, with $root set to the top of the checkout.
#
# What the Debian toolchain (emscripten 3.1.6) needs here:
#  - its "ports" (zlib, libjpeg...) download their sources and fail offline,
#    so zlib, minizip and libjpeg-turbo are compiled from Debian's own source
#    packages, fetched by apt from a deb-src list of our own (the system's
#    apt configuration is left alone);
#  - NODE_PATH=/usr/share/nodejs, or any build at -O1 or more stops on
#    "Cannot find module 'acorn'".

qh_web_dir="$root/build-web"
export NODE_PATH=/usr/share/nodejs

# Debian's packages of the web group, and npm (Node.js from elsewhere may
# bring its own, which Debian's npm package would conflict with).
qh_web_install() {
    qh_install_packages web
    if ! command -v npm >/dev/null; then
        if [ "$(id -u)" -ne 0 ]; then
            echo "npm is missing. Run as root: apt-get install -y npm" >&2
            exit 1
        fi
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq npm >&2
    fi
    local lock="$root/platform/web/page/package-lock.json" mods="$root/platform/web/page/node_modules"
    if [ ! -f "$mods/.package-lock.json" ] || [ "$lock" -nt "$mods/.package-lock.json" ]; then
        (cd "$root/platform/web/page" && npm ci --no-audit --no-fund >&2)
    fi
}

# zlib, minizip and libjpeg-turbo for WebAssembly, installed with their
# pkg-config files under build-web/deps/prefix.
qh_web_deps() {
    local deps="$qh_web_dir/deps" prefix="$qh_web_dir/deps/prefix"
    [ -f "$prefix/.done" ] && return 0
    mkdir -p "$deps/lists/partial" "$deps/src"
    echo "deb-src http://deb.debian.org/debian bookworm main" >"$deps/sources.list"
    local apt=(-o Dir::Etc::SourceList="$deps/sources.list" -o Dir::Etc::SourceParts=/dev/null
        -o Dir::State::Lists="$deps/lists" -o Debug::NoLocking=1)
    (
        set -e
        cd "$deps/src"
        if ! ls zlib_*.orig.tar.* libjpeg-turbo_*.orig.tar.* >/dev/null 2>&1; then
            apt-get "${apt[@]}" -qq update >&2
            apt-get "${apt[@]}" -qq source --download-only zlib libjpeg-turbo >&2
        fi
        rm -rf zlib libjpeg obj
        mkdir zlib libjpeg
        tar -xf zlib_*.orig.tar.* -C zlib --strip-components=1
        tar -xf libjpeg-turbo_*.orig.tar.* -C libjpeg --strip-components=1
        mkdir -p "$prefix/lib/pkgconfig" "$prefix/include/minizip" obj
        for f in adler32 compress crc32 deflate infback inffast inflate inftrees trees uncompr zutil; do
            emcc -O2 -c zlib/$f.c -o obj/$f.o
        done
        emar rcs "$prefix/lib/libz.a" obj/*.o
        cp zlib/zlib.h zlib/zconf.h "$prefix/include/"
        printf 'prefix=%s\nName: zlib\nDescription: zlib\nVersion: 1.2.13\nLibs: -L${prefix}/lib -lz\nCflags: -I${prefix}/include\n' \
            "$prefix" >"$prefix/lib/pkgconfig/zlib.pc"
        # The archive reader needs minizip's unzip side only.
        for f in unzip ioapi; do
            emcc -O2 -c zlib/contrib/minizip/$f.c -I"$prefix/include" -DNOCRYPT -o minizip-$f.o
        done
        emar rcs "$prefix/lib/libminizip.a" minizip-unzip.o minizip-ioapi.o
        cp zlib/contrib/minizip/unzip.h zlib/contrib/minizip/ioapi.h "$prefix/include/minizip/"
        printf 'prefix=%s\nName: minizip\nDescription: minizip\nVersion: 1.2.13\nRequires: zlib\nLibs: -L${prefix}/lib -lminizip\nCflags: -I${prefix}/include\n' \
            "$prefix" >"$prefix/lib/pkgconfig/minizip.pc"
        emcmake cmake -S libjpeg -B libjpeg-build -G Ninja -DCMAKE_BUILD_TYPE=Release -DWITH_SIMD=0 \
            -DENABLE_SHARED=0 -DWITH_TURBOJPEG=0 -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
        # CMake's type-size probe misreads size_t under emscripten.
        sed -i 's/^#define SIZEOF_SIZE_T .*/#define SIZEOF_SIZE_T  4/' libjpeg-build/jconfigint.h
        cmake --build libjpeg-build -j2 --target jpeg-static >&2
        cp libjpeg-build/libjpeg.a "$prefix/lib/"
        cp libjpeg/jpeglib.h libjpeg/jmorecfg.h libjpeg/jerror.h libjpeg-build/jconfig.h "$prefix/include/"
        printf 'prefix=%s\nName: libjpeg\nDescription: libjpeg\nVersion: 2.1.5\nLibs: -L${prefix}/lib -ljpeg\nCflags: -I${prefix}/include\n' \
            "$prefix" >"$prefix/lib/pkgconfig/libjpeg.pc"
        touch "$prefix/.done"
    )
}

# The page in build-web/page, from the native build's data in build/ (built
# first by the caller).
qh_web_build() {
    qh_web_deps
    if [ ! -f "$qh_web_dir/CMakeCache.txt" ]; then
        PKG_CONFIG_LIBDIR="$qh_web_dir/deps/prefix/lib/pkgconfig" emcmake cmake -S "$root" -B "$qh_web_dir" -G Ninja \
            -DCMAKE_BUILD_TYPE=Release -DQH_TESTS=OFF -DQH_BENCH=OFF \
            -DCMAKE_FIND_ROOT_PATH="$qh_web_dir/deps/prefix" -DQH_WEB_DATA="$root/build" >/dev/null
    fi
    cmake --build "$qh_web_dir" -j"$(nproc)"
}
