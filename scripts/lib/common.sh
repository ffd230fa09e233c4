# Shell functions shared by the scripts: which Windows architectures this
# machine can run, the build folders of the Windows targets, a virtual display.
# Sourced, not run.

# The two Windows targets and their build folders. i686 is what ships; x86_64
# builds from the same code and is the one whose tests run everywhere.
updater_windows_build_dir() {
    case "$1" in
        i686) echo "$root/build/win32" ;;
        x86_64) echo "$root/build/win64" ;;
        *) echo "unknown Windows architecture '$1'" >&2; return 2 ;;
    esac
}

# Succeeds when this machine executes 32-bit x86 programs. Some kernels have
# IA-32 emulation off: there execve of an i386 program fails with ENOEXEC, and
# so does Wine's 32-bit loader. The probe is a 93-byte static i386 program that
# only calls exit(0), so it needs no 32-bit library. UPDATER_I386_PROBE names
# another program to run instead (the tests use it to simulate either kind of
# machine).
updater_can_run_i386() {
    local probe=${UPDATER_I386_PROBE:-}
    local tmp=
    if [ -z "$probe" ]; then
        tmp=$(mktemp "${TMPDIR:-/tmp}/i386-probe.XXXXXX")
        updater_write_i386_probe "$tmp"
        probe=$tmp
    fi
    local status=0
    ("$probe") >/dev/null 2>&1 </dev/null || status=$?
    [ -n "$tmp" ] && rm -f "$tmp"
    return "$status"
}

# Writes the probe program to FILE: an ELF header and one program header
# loading the file at 0x08048000, then xor ebx,ebx; mov eax,1; int 0x80.
updater_write_i386_probe() {
    printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\x31\xdb\xb8\x01\x00\x00\x00\xcd\x80' >"$1"
    chmod +x "$1"
}

# Sets windows_build (the targets to build) and windows_run (those whose tests
# run here), and windows_skip_reason for a target that is built but not run.
# UPDATER_WINDOWS_ARCH=i686 or x86_64 limits both to one target, for quick work.
updater_select_windows_archs() {
    local only=${UPDATER_WINDOWS_ARCH:-}
    windows_skip_reason=
    case "$only" in
        "") windows_build=(x86_64 i686) ;;
        i686 | x86_64) windows_build=("$only") ;;
        *)
            echo "UPDATER_WINDOWS_ARCH must be i686 or x86_64, not '$only'" >&2
            return 2
            ;;
    esac
    windows_run=()
    local arch
    for arch in "${windows_build[@]}"; do
        if [ "$arch" = i686 ] && ! updater_can_run_i386; then
            windows_skip_reason="this machine cannot run 32-bit programs"
            continue
        fi
        windows_run+=("$arch")
    done
    if [ ${#windows_run[@]} -eq 0 ]; then
        echo "no Windows target can run here: $windows_skip_reason" >&2
        return 1
    fi
}

# The Windows target that programs run from by default (demo, benchmarks): the
# shipped 32-bit one where this machine runs it, else the 64-bit one.
# UPDATER_WINDOWS_ARCH chooses.
updater_default_windows_arch() {
    if [ -n "${UPDATER_WINDOWS_ARCH:-}" ]; then
        echo "$UPDATER_WINDOWS_ARCH"
    elif updater_can_run_i386; then
        echo i686
    else
        echo x86_64
    fi
}

# Configures (when needed) the native build. Its host tools (wdc) serve the
# Windows builds too.
updater_configure_native() {
    build_native="$root/build/native"
    if [ ! -f "$build_native/build.ninja" ] || [ "${1:-}" = always ]; then
        cmake -S "$root" -B "$build_native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DUPDATER_SANITIZE=ON >/dev/null
    fi
}

# Builds the native tools that the Windows builds run while they build (see
# cmake/HostTools.cmake); updater_configure_native first.
updater_build_host_tools() {
    cmake --build "$build_native" --target wdc cldgen >/dev/null
}

# Configures (when needed) the Windows build of one architecture.
updater_configure_windows() {
    local arch=$1 dir
    dir=$(updater_windows_build_dir "$arch")
    if [ ! -f "$dir/build.ninja" ] || [ "${2:-}" = always ]; then
        cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
            -DUPDATER_HOST_TOOLS="$root/build/native" >/dev/null
    fi
}

# Starts Xvfb on a free display when there is no display, and exports DISPLAY.
# Sets xvfb_pid (empty when a display was there); the caller stops it.
updater_start_xvfb() {
    xvfb_pid=
    [ -n "${DISPLAY:-}" ] && return 0
    local n
    for n in $(seq 90 130); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
    done
    local log
    log=$(mktemp "${TMPDIR:-/tmp}/xvfb.XXXXXX")
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$log" 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    local _
    for _ in $(seq 1 100); do
        xdpyinfo >/dev/null 2>&1 && break
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.1
    done
    if ! xdpyinfo >/dev/null 2>&1; then
        echo "Xvfb did not start on display $DISPLAY:" >&2
        sed 's/^/  /' "$log" >&2
        rm -f "$log"
        return 1
    fi
    rm -f "$log"
}

updater_stop_xvfb() {
    if [ -n "${xvfb_pid:-}" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
        xvfb_pid=
        # The display is gone: what runs next from this shell must not use it.
        unset DISPLAY
    fi
}
