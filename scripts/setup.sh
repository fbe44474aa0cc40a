# Shared set-up of ./run and ./test: Debian packages, then a Release build.
# Sourced with $root set to the top of the checkout.

qh_packages() {
    grep -v '^#' "$root/scripts/packages.txt" | grep -v '^$'
}

qh_install_packages() {
    local missing=()
    for p in $(qh_packages); do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$p")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local line="apt-get install -y ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing Debian packages. Run as root:" >&2
        echo "  apt-get update && $line" >&2
        exit 1
    fi
    echo "Installing: ${missing[*]}" >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq >&2
    apt-get install -y -qq "${missing[@]}" >&2
}

qh_build() {
    local dir="$root/build"
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
    fi
    cmake --build "$dir" -j"$(nproc)"
}
