#!/usr/bin/env bash
# Crash consistency of the console converter writing over existing files.
#
# Scenarios:
#   in place  tolvarinxc -i img.png -nf -nd -ts  (output = input, the result is smaller)
#   copy      tolvarinxc -i opt.png -o out.png -nf -nd -ts  (the input cannot be made
#             smaller, so it is copied over an existing out.png)
#   link      as in place, but img.png is a symbolic link to store/img.png: the
#             file it names is replaced, the link stays
#   animation as in place, img.png an animated PNG of three frames (every
#             frame written whole)
# Every target has an identity to keep: mode 640 (the temporary file starts
# at 600), owner and group nobody when run as root, and a user.tolvarinx
# extended attribute where the file system keeps user attributes.
# Each run is interrupted:
#   - at every file-system system call it makes from its first look at the
#     input on (strace): killed there (SIGKILL), sent SIGINT, SIGTERM or SIGHUP
#     there (in turn), and the call failed with EIO (and with ENOSPC for writes
#     and syncs);
#   - by SIGINT, SIGTERM and SIGHUP at random moments of the in-place
#     conversion of a large picture (TOLVARINX_CRASH_SIGNAL_RUNS runs, default 30);
#   - by a file-size limit (ulimit -f) at every 1 KiB step up to the result's
#     size, with SIGXFSZ at its default action and with SIGXFSZ ignored by the
#     caller (the console ignores it itself, so writes fail with EFBIG);
#   - by a full disk: a small tmpfs filled up to every 4 KiB step below what
#     the result needs (when a tmpfs can be mounted here).
# After every run the target must be either its original bytes or the complete
# new file, with its original mode, owner, group and extended attributes either
# way (a link target must still be the same link); a run that failed cleanly
# (exit status 1 with its message) must leave no temporary file (*.tlvtmp)
# behind, nor a run ended by SIGINT, SIGTERM or SIGHUP (whose exit status must
# be 128 + the signal). A hard kill may leave one; the only other allowed
# leftover is a temporary file whose own removal was the call made to fail. A
# run that reports success must have written the complete new file. An error
# injected into a call of the identity copy or the link resolution must
# abandon the write (exit status 1, target unchanged).
#
# Usage: bash scripts/crash-consistency.sh
# Environment: TOLVARINX_CONSOLE (default build/native/console/tolvarinxc,
# built with the native preset when missing); TOLVARINX_CRASH_SIGNAL_RUNS.
# Prints the interruption points tried and the files lost; exits 1 on any
# lost file, leftover or wrong outcome.
set -euo pipefail
# The reports judged here are the Japanese ones, whatever the caller's locale.
export LANGUAGE=ja

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
console="${TOLVARINX_CONSOLE:-$root/build/native/console/tolvarinxc}"
if [ ! -x "$console" ]; then
    (cd "$root" && cmake --preset native >/dev/null && cmake --build --preset native -j 2 --target tolvarinxc)
fi
console="$(cd "$(dirname "$console")" && pwd)/$(basename "$console")"
for tool in strace convert cmp python3; do
    command -v "$tool" >/dev/null || { echo "crash consistency: $tool is missing (scripts/setup.sh installs it)"; exit 1; }
done
# A sanitizer build of the console cannot check leaks under ptrace.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"

# Gives file $1 the attribute user.tolvarinx with the value $2.
set_xattr() {
    python3 -c 'import os, sys; os.setxattr(sys.argv[1], "user.tolvarinx", sys.argv[2].encode())' "$1" "$2"
}

# Whether files in folder $1 keep user extended attributes (tmpfs does from
# Linux 6.6 on).
keeps_xattrs() {
    local probe kept=1
    probe="$(mktemp "$1/tolvarinx-xattr.XXXXXX" 2>/dev/null)" || return 1
    if set_xattr "$probe" probe 2>/dev/null; then kept=0; fi
    rm -f "$probe"
    return "$kept"
}

# A memory file system keeps the thousand runs and their syncs fast; a disk
# folder only when the memory one cannot hold the attribute to keep.
base="${TMPDIR:-/tmp}"
[ -d /dev/shm ] && [ -w /dev/shm ] && base=/dev/shm
xattrs=yes
if ! keeps_xattrs "$base"; then
    if [ "$base" != "${TMPDIR:-/tmp}" ] && keeps_xattrs "${TMPDIR:-/tmp}"; then
        echo "crash consistency: $base keeps no user extended attributes; the runs use ${TMPDIR:-/tmp}"
        base="${TMPDIR:-/tmp}"
    else
        xattrs=no
        echo "crash consistency: $base keeps no user extended attributes; the extended attribute check is skipped"
    fi
fi
if [ "$(id -u)" != 0 ]; then
    echo "crash consistency: not run as root; targets keep the runner as owner, so the owner copy (fchown) is not tried"
fi
work="$(mktemp -d "$base/tolvarinx-crash.XXXXXX")"
mounted=""
identity_reader_PID=""
cleanup() {
    if [ -n "$mounted" ]; then umount "$mounted" 2>/dev/null || true; fi
    if [ -n "$identity_reader_PID" ]; then kill "$identity_reader_PID" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

fs_calls=openat,open,creat,read,pread64,write,pwrite64,writev,lseek,close,fstat,newfstatat,stat,lstat,statx
fs_calls=$fs_calls,fsync,fdatasync,rename,renameat,renameat2,unlink,unlinkat,ftruncate,utimensat,getdents64,mkdir
# The identity copy onto the temporary file and the resolution of a link
# target (realpath). An error in any of them must abandon the write.
identity_calls=fchown,fchownat,chown,lchown,fchmod,fchmodat,chmod
identity_calls=$identity_calls,listxattr,llistxattr,flistxattr,getxattr,lgetxattr,fgetxattr,setxattr,lsetxattr,fsetxattr
identity_calls=$identity_calls,readlink,readlinkat,getcwd
fs_calls=$fs_calls,$identity_calls

points=0
lost=0
leftovers=0
wrong=0
kills_missed=0
sent_signals=INT,TERM,HUP   # the ending signals this check sends
signal_ends=0   # runs ended by SIGINT, SIGTERM or SIGHUP (each judged)

# A photo-like picture stored without compression: the converter makes it
# smaller, so it replaces the input, in several 32 KiB pieces.
convert -size 160x160 -seed 7 plasma:fractal -depth 8 -strip -define png:compression-level=0 \
    "PNG24:$work/original.png"

# Answers each path it reads with the file's identity: mode, owner, group and
# extended attributes (all namespaces), through links; an empty line when the
# file is missing. One process for all: a fork or two after each of the
# thousand runs would cost more than the checks.
identity_py='
import os, sys
for line in sys.stdin:
    path = line[:-1]
    try:
        info = os.stat(path)
    except OSError:
        print(flush=True)
        continue
    try:
        names = sorted(os.listxattr(path))
    except OSError:
        names = []   # a file system without attributes
    attrs = []
    for name in names:
        try:
            attrs.append("%s=%r" % (name, os.getxattr(path, name)))
        except OSError as error:
            attrs.append("%s=<%s>" % (name, error.strerror))
    print("%o %d:%d" % (info.st_mode & 0o7777, info.st_uid, info.st_gid), *attrs, flush=True)
'
coproc identity_reader { exec python3 -c "$identity_py"; }

# Sets identity: that of file $1.
identity_of() {
    printf '%s\n' "$1" >&"${identity_reader[1]}"
    IFS= read -r identity <&"${identity_reader[0]}" || { echo "crash consistency: the identity reader stopped"; exit 1; }
}

# Gives file $1 (a scenario's before.bin) the identity its target must keep.
# Sets preserve (what reset_target copies along with the bytes) and
# expected_identity.
give_identity() {
    local file="$1"
    chmod 640 "$file"
    preserve=mode
    if [ "$(id -u)" = 0 ]; then
        chown 65534:65534 "$file"
        preserve=$preserve,ownership
    fi
    if [ "$xattrs" = yes ]; then
        if set_xattr "$file" "kept-$(basename "$dir")" 2>/dev/null; then
            preserve=$preserve,xattr
        else
            echo "crash consistency: $(dirname "$file") keeps no user extended attributes; its runs check mode and owner only"
        fi
    fi
    identity_of "$file"
    expected_identity="$identity"
}

# ---- Scenarios ----
# Each sets: dir (working folder), target (the path the console is given),
# real (the file it names: the target itself, or where its link points), args
# (console arguments), and the files before.bin (target before, carrying the
# identity to keep) and after.bin (target after an uninterrupted run).

setup_in_place() {
    dir="$1"
    target=img.png
    real=img.png
    args=(-i img.png -nf -nd -ts)
    mkdir -p "$dir"
    cp "$work/original.png" "$dir/before.bin"
    give_identity "$dir/before.bin"
}

setup_copy() {
    dir="$1"
    target=out.png
    real=out.png
    args=(-i opt.png -o out.png -nf -nd -ts)
    mkdir -p "$dir"
    cp "$work/optimised.png" "$dir/opt.png"
    cp "$work/original.png" "$dir/before.bin"
    give_identity "$dir/before.bin"
}

# The link lies in another folder than its file, so a temporary file or a
# rename beside the link instead of beside the file shows.
setup_link() {
    dir="$1"
    target=img.png
    real=store/img.png
    args=(-i img.png -nf -nd -ts)
    mkdir -p "$dir/store"
    cp "$work/original.png" "$dir/before.bin"
    give_identity "$dir/before.bin"
}

# Three frames of the plasma picture, shifted and tinted, as one animated PNG
# whose data is stored without compression: the converter makes it smaller.
apng_py='
import struct, sys, zlib
size, out, frames = 96, sys.argv[1], sys.argv[2:]
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
png += chunk(b"acTL", struct.pack(">II", len(frames), 0))
sequence = 0
for i, name in enumerate(frames):
    pixels = open(name, "rb").read()
    rows = b"".join(b"\0" + pixels[y * size * 4:(y + 1) * size * 4] for y in range(size))
    png += chunk(b"fcTL", struct.pack(">IIIIIHHBB", sequence, size, size, 0, 0, 1, 8, 0, 0))
    sequence += 1
    data = zlib.compress(rows, 0)
    if i == 0:
        png += chunk(b"IDAT", data)
    else:
        png += chunk(b"fdAT", struct.pack(">I", sequence) + data)
        sequence += 1
open(out, "wb").write(png + chunk(b"IEND", b""))
'
setup_animation() {
    setup_in_place "$1"
    if [ ! -f "$work/animated.png" ]; then
        local frames="$work/animation-frames"
        mkdir -p "$frames"
        convert "$work/original.png" -crop 96x96+0+0 +repage -depth 8 "RGBA:$frames/f1.rgba"
        convert "$work/original.png" -crop 96x96+32+16 +repage -depth 8 "RGBA:$frames/f2.rgba"
        convert "$work/original.png" -crop 96x96+64+64 +repage -modulate 100,60 -depth 8 "RGBA:$frames/f3.rgba"
        python3 -c "$apng_py" "$work/animated.png" "$frames"/f1.rgba "$frames"/f2.rgba "$frames"/f3.rgba
    fi
    cp "$work/animated.png" "$dir/before.bin"
    give_identity "$dir/before.bin"
}

# Puts the target back as it was and removes what earlier runs left.
reset_target() {
    rm -f "$dir"/*.tlvtmp "$dir/$target"
    if [ "$real" != "$target" ]; then
        rm -f "$(dirname "$dir/$real")"/*.tlvtmp "$dir/$real"
    fi
    cp --preserve="$preserve" "$dir/before.bin" "$dir/$real"
    if [ "$real" != "$target" ]; then
        ln -s "$real" "$dir/$target"
    fi
}

# Runs the console in $dir with the given wrapper words before it; stores its
# exit status in $status and its output in $work/stdout. The output goes
# through a pipe, which neither a size limit nor a full disk affects. The
# signals this check sends start at their default actions: an ignored one is
# inherited through exec (nohup, a background job) and the console keeps it
# ignored, which would turn a judged interruption into a completed run.
run_console() {
    set +e
    (cd "$dir" && env --default-signal="$sent_signals" "$@" "$console" "${args[@]}" </dev/null 2>&1 | cat >"$work/stdout"; exit "${PIPESTATUS[0]}") \
        2>/dev/null   # the shell's own notes ("File size limit exceeded")
    status=$?
    set -e
}

# Judges the state after a run. $1: what was done (for messages); $2: "kill"
# when the run may have been killed, "signal N" when it was sent signal N
# (which must end it cleanly, unless it finished first), else "clean"; $3: "removal" when the call
# made to fail was the removal of the temporary file itself, "output" when it
# was a write of the console's own output (its message may be lost),
# "identity" when it was a call of the identity copy or the link resolution
# (which must abandon the write), else empty.
judge() {
    local what="$1" mode="$2" failed="${3:-}" state identity reported=""
    points=$((points + 1))
    if cmp -s "$dir/$real" "$dir/before.bin"; then
        state=original
    elif cmp -s "$dir/$real" "$dir/after.bin"; then
        state=new
    else
        state=lost
        lost=$((lost + 1))
        echo "LOST: $what: $real is neither the original nor the new file (exit $status)"
        sed 's/^/    /' "$work/stdout" | tail -n 3
        cp "$dir/$real" "$work/lost-$points.bin" 2>/dev/null || true
    fi
    # Old or new, the file keeps its identity, and a link stays the same link.
    if [ "$real" != "$target" ] && { [ ! -L "$dir/$target" ] || [ "$(readlink "$dir/$target")" != "$real" ]; }; then
        wrong=$((wrong + 1))
        echo "WRONG: $what: $target is no longer the link to $real ($state $real, exit $status)"
        reported=yes
    elif [ "$state" != lost ]; then
        identity_of "$dir/$real"
        if [ "$identity" != "$expected_identity" ]; then
            wrong=$((wrong + 1))
            echo "WRONG: $what: the $state $real has the identity [$identity], not [$expected_identity] (exit $status)"
            sed 's/^/    /' "$work/stdout" | tail -n 2
            reported=yes
        fi
    fi
    local temps
    temps="$(cd "$dir" && ls -- *.tlvtmp 2>/dev/null || true)"
    if [ "$real" != "$target" ]; then
        temps="$temps$(cd "$dir" && ls -- "$(dirname "$real")"/*.tlvtmp 2>/dev/null || true)"
    fi
    if [ "$mode" = kill ] && [ "$status" -ge 128 ]; then
        return 0   # a hard kill: a stray temporary file is acceptable
    fi
    if [ "${mode%% *}" = signal ] && [ "$status" -ge 128 ]; then
        if [ "$status" != $((128 + ${mode#* })) ]; then
            wrong=$((wrong + 1))
            echo "WRONG: $what: exit status $status, not $((128 + ${mode#* }))"
        elif [ -n "$temps" ]; then
            leftovers=$((leftovers + 1))
            echo "LEFTOVER: $what: $temps remains after the signal"
        fi
        signal_ends=$((signal_ends + 1))
        return 0
    fi
    if [ "$status" -ge 128 ]; then
        wrong=$((wrong + 1))
        echo "WRONG: $what: the console died with status $status"
        return 0
    fi
    if [ -n "$temps" ] && [ "$failed" != removal ]; then
        leftovers=$((leftovers + 1))
        echo "LEFTOVER: $what: $temps remains after exit status $status"
    fi
    if [ -n "$reported" ]; then
        :   # one count for one run
    elif [ "$failed" = identity ] && { [ "$status" != 1 ] || [ "$state" != original ]; }; then
        wrong=$((wrong + 1))
        echo "WRONG: $what: the run went on after the failed call ($state $real, exit $status)"
        sed 's/^/    /' "$work/stdout" | tail -n 2
    elif [ "$status" = 0 ] && [ "$state" = original ] && ! grep -q 'ｻｲｽﾞが増えたため' "$work/stdout"; then
        wrong=$((wrong + 1))
        echo "WRONG: $what: success reported, but $target is unchanged"
    elif [ "$status" = 1 ] && [ "$failed" != output ] && ! grep -qE '<read error>|<出力エラー>| が存在しません' "$work/stdout"; then
        wrong=$((wrong + 1))
        echo "WRONG: $what: exit status 1 without the error message"
    elif [ "$status" != 0 ] && [ "$status" != 1 ]; then
        wrong=$((wrong + 1))
        echo "WRONG: $what: exit status $status"
    fi
}

# Interruption at every file-system call, from the first call that names the
# input or the target on.
interrupt_calls() {
    local name="$1"
    reset_target
    run_console strace -o "$dir/trace" -e trace="$fs_calls"
    if [ "$status" != 0 ] || ! cmp -s "$dir/$real" "$dir/after.bin"; then
        echo "WRONG: $name: the traced run differs from the plain one (exit $status)"
        wrong=$((wrong + 1))
        return 0
    fi
    # Lines "call(args) = result"; count each call's invocations from the
    # start, and note the first argument (the descriptor of a write). Through
    # a link, the reading is the in-place scenario's: its points start where
    # the console first looks at the link itself (all of them when it never
    # does).
    awk -v input="\"${args[1]}\"" -v target="$target" -v link="$([ "$real" != "$target" ] && echo 1)" '
        /^[a-z_0-9]+\(/ {
            open = index($0, "(")
            call = substr($0, 1, open - 1)
            first = substr($0, open + 1)
            sub(/[,)].*/, "", first)
            seen[call]++
            if (!started && (index($0, input) || index($0, "\"" target "\""))) started = 1
            if (started) point[++n] = call " " seen[call] " " first
            if (link && !from && (index($0, "\"" target "\"") || index($0, "/" target "\"")) &&
                (index($0, "AT_SYMLINK_NOFOLLOW") || call ~ /^(lstat|readlink|readlinkat)$/))
                from = n
        }
        END { for (i = from ? from : 1; i <= n; i++) print point[i] }' "$dir/trace" >"$work/points"
    local call nth first errors error failed signals=(INT TERM HUP) turn=0 signal
    while read -r call nth first; do
        reset_target
        run_console strace -o /dev/null -e trace="$call" -e inject="$call:signal=SIGKILL:when=$nth"
        if [ "$status" -lt 128 ]; then
            kills_missed=$((kills_missed + 1))
        fi
        judge "$name: kill at $call #$nth" kill ""

        signal="${signals[turn++ % 3]}"
        reset_target
        run_console strace -o /dev/null -e trace="$call" -e inject="$call:signal=SIG$signal:when=$nth"
        if [ "$status" -lt 128 ]; then
            kills_missed=$((kills_missed + 1))
        fi
        judge "$name: SIG$signal at $call #$nth" "signal $(kill -l "$signal")"

        errors=EIO
        case "$call" in write | pwrite64 | writev | fsync | fdatasync) errors="EIO ENOSPC" ;; esac
        failed=""
        case "$call" in unlink | unlinkat) failed=removal ;; esac
        case ",$identity_calls," in *",$call,"*) failed=identity ;; esac
        case "$call:$first" in write:1 | write:2 | writev:1 | writev:2) failed=output ;; esac
        for error in $errors; do
            reset_target
            run_console strace -o /dev/null -e trace="$call" -e inject="$call:error=$error:when=$nth"
            judge "$name: $error at $call #$nth" clean "$failed"
        done
    done <"$work/points"
}

# A file-size limit at every KiB up to the result's size.
interrupt_size_limit() {
    local name="$1" blocks limit
    blocks=$(( ($(stat -c %s "$dir/after.bin") + 1023) / 1024 ))
    for ((limit = 0; limit <= blocks; limit++)); do
        reset_target
        run_console bash -c 'trap - XFSZ; ulimit -f "$1"; shift; exec "$@"' limit "$limit"
        judge "$name: ulimit -f $limit (SIGXFSZ at its default)" clean ""
        reset_target
        run_console bash -c 'trap "" XFSZ; ulimit -f "$1"; shift; exec "$@"' limit "$limit"
        judge "$name: ulimit -f $limit (SIGXFSZ ignored)" clean ""
    done
}

# A full disk at every 4 KiB step below what the result needs.
interrupt_full_disk() {
    local name="$1" setup="$2" mountpoint="$work/tmpfs" need free step saved_dir="$dir"
    local saved_preserve="$preserve" saved_identity="$expected_identity"
    mkdir -p "$mountpoint"
    if ! mount -t tmpfs -o size=2m tmpfs "$mountpoint" 2>/dev/null; then
        echo "crash consistency: no tmpfs can be mounted here; the full disk is covered by the ENOSPC injections"
        return 0
    fi
    mounted="$mountpoint"
    need=$(( ($(stat -c %s "$saved_dir/after.bin") + 4095) / 4096 ))
    "$setup" "$mountpoint/run"
    cp "$saved_dir/after.bin" "$dir/after.bin"
    for ((step = 0; step <= need; step++)); do
        reset_target
        rm -f "$mountpoint/filler"
        free=$(df -B1 --output=avail "$mountpoint" | tail -n1)
        if [ "$free" -gt $((step * 4096)) ]; then
            head -c $((free - step * 4096)) /dev/zero >"$mountpoint/filler" 2>/dev/null || true
        fi
        run_console env
        judge "$name: full disk with $step pages free" clean ""
    done
    umount "$mountpoint"
    mounted=""
    dir="$saved_dir"
    preserve="$saved_preserve"
    expected_identity="$saved_identity"
}

# SIGINT, SIGTERM and SIGHUP at random moments of a conversion long enough to
# be caught in every stage (reading, the search, writing the result).
interrupt_random_signals() {
    local runs="${TOLVARINX_CRASH_SIGNAL_RUNS:-30}" signals=(INT TERM HUP) i signal pid started elapsed_ms delay_ms
    dir="$work/signals"
    target=big.png
    real=big.png
    args=(-i big.png)
    mkdir -p "$dir"
    convert -size 700x700 -seed 11 plasma:fractal -depth 8 -strip -define png:compression-level=0 \
        "PNG24:$dir/before.bin"
    give_identity "$dir/before.bin"
    reset_target
    started=$(date +%s%N)
    run_console env
    elapsed_ms=$(( ($(date +%s%N) - started) / 1000000 ))
    if [ "$status" != 0 ] || cmp -s "$dir/$target" "$dir/before.bin"; then
        echo "crash consistency: the uninterrupted large run did not write (exit $status)"
        wrong=$((wrong + 1))
        return 0
    fi
    identity_of "$dir/$real"
    if [ "$identity" != "$expected_identity" ]; then
        echo "WRONG: large picture: the uninterrupted run changed the identity to [$identity], not [$expected_identity]"
        wrong=$((wrong + 1))
    fi
    cp "$dir/$target" "$dir/after.bin"
    for ((i = 0; i < runs; i++)); do
        signal="${signals[i % 3]}"
        delay_ms=$(( RANDOM * (elapsed_ms + elapsed_ms / 5) / 32768 ))
        reset_target
        # A background job of a script starts with SIGINT ignored; env puts the
        # defaults back, as run_console does.
        (cd "$dir" && exec env --default-signal="$sent_signals" "$console" "${args[@]}" </dev/null >"$work/stdout" 2>&1) &
        pid=$!
        sleep "$(printf '%d.%03d' $((delay_ms / 1000)) $((delay_ms % 1000)))"
        kill -s "$signal" "$pid" 2>/dev/null || true
        set +e
        wait "$pid" 2>/dev/null   # not the shell's note of how the job ended
        status=$?
        set -e
        judge "large picture: SIG$signal after ${delay_ms} ms" "signal $(kill -l "$signal")"
    done
    echo "crash consistency: the large conversion takes ${elapsed_ms} ms uninterrupted"
}

# $3: "calls" to interrupt at the system calls only.
run_scenario() {
    local name="$1" setup="$2" only="${3:-}"
    "$setup" "$work/$name"
    reset_target
    run_console env
    if [ "$status" != 0 ] || cmp -s "$dir/$real" "$dir/before.bin"; then
        echo "crash consistency: the uninterrupted $name run did not write (exit $status)"
        cat "$work/stdout"
        exit 1
    fi
    cp "$dir/$real" "$dir/after.bin"
    if [ "$real" != "$target" ] && [ ! -L "$dir/$target" ]; then
        echo "WRONG: $name: the uninterrupted run replaced the link $target"
        wrong=$((wrong + 1))
    elif identity_of "$dir/$real" && [ "$identity" != "$expected_identity" ]; then
        echo "WRONG: $name: the uninterrupted run changed the identity to [$identity], not [$expected_identity]"
        wrong=$((wrong + 1))
    fi
    interrupt_calls "$name"
    [ "$only" = calls ] && return 0
    interrupt_size_limit "$name"
    interrupt_full_disk "$name" "$setup"
}

run_scenario in-place setup_in_place
cp "$work/in-place/after.bin" "$work/optimised.png"
run_scenario copy setup_copy
# The link changes only where the target is resolved and the temporary file
# lies; the size limit and the full disk add nothing there.
run_scenario link setup_link calls
run_scenario animation setup_animation calls
if ! grep -q acTL "$work/animation/after.bin"; then
    echo "WRONG: animation: the uninterrupted run did not write an animated PNG"
    wrong=$((wrong + 1))
fi
interrupt_random_signals

echo "crash consistency: interruption points tried $points (ended by SIGINT, SIGTERM or SIGHUP: $signal_ends), files lost $lost, temporary files left $leftovers, wrong outcomes $wrong"
if [ "$kills_missed" != 0 ]; then
    echo "crash consistency: $kills_missed kills did not land (the run took another path)"
fi
[ "$lost" = 0 ] && [ "$leftovers" = 0 ] && [ "$wrong" = 0 ] && [ "$kills_missed" = 0 ]
