# Shared set-up of ./run and ./test: Debian packages, then a Release build.
# Sourced with $root set to the top of the checkout.

# The packages of the named groups of scripts/packages.txt (all: every group).
qh_packages() {
    awk -v want=" $* " '
        /^# group / { group = $3; sub(":", "", group); next }
        /^#/ || NF == 0 { next }
        want == " all " || index(want, " " group " ") { print $1 }
    ' "$root/scripts/packages.txt"
}

# Installs what is missing of the named groups.
qh_install_packages() {
    local missing=()
    for p in $(qh_packages "$@"); do
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

# qh_build ON|OFF [targets...]: configures build/ with or without the tests
# and benchmarks, then builds the targets (everything when none is named).
qh_build() {
    local dir="$root/build" tests="$1"
    shift
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQH_TESTS="$tests" \
            -DQH_BENCH="$tests" >/dev/null
    elif [ "$tests" = ON ] && ! grep -q '^QH_TESTS:BOOL=ON' "$dir/CMakeCache.txt"; then
        cmake "$dir" -DQH_TESTS=ON -DQH_BENCH=ON >/dev/null
    fi
    if [ $# -gt 0 ]; then
        cmake --build "$dir" -j"$(nproc)" --target "$@"
    else
        cmake --build "$dir" -j"$(nproc)"
    fi
}
