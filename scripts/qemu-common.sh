# Sourced by the tests that boot Debian's kernel under QEMU (test-qemu.sh,
# test-deb.sh): the kernel, fetched once and kept, and the choice between
# KVM and plain emulation.

# qemu_kernel WORK: Debian's kernel, unpacked (never installed) under
# WORK/kernel. Sets package, kernel_root, release, vmlinuz and moddir.
qemu_kernel() {
    local work=$1 try at_hand
    # Fetched with apt-get download, outside the install list, and kept
    # unpacked under build/: a later run needs no download. On a day when the
    # archive is out of step the lists may name a version that is gone: then
    # the kernel at hand is used, and without one the script says what it could
    # not fetch.
    mkdir -p "$work/kernel"
    package=$(apt-cache depends linux-image-amd64 2>/dev/null |
        awk '/Depends: linux-image-[0-9]/ {print $2; exit}' || true)
    kernel_root=""
    [ -n "$package" ] && [ -f "$work/kernel/$package/.unpacked" ] && kernel_root=$work/kernel/$package
    if [ -z "$kernel_root" ] && [ -n "$package" ]; then
        rm -rf "$work/deb"
        mkdir -p "$work/deb"
        for try in 1 2 3; do
            if (cd "$work/deb" && apt-get download "$package") >"$work/download.log" 2>&1; then
                rm -rf "$work/kernel/$package"
                mkdir -p "$work/kernel/$package"
                dpkg-deb -x "$work"/deb/"$package"_*.deb "$work/kernel/$package"
                release=$(ls "$work/kernel/$package/lib/modules")
                # The package ships no modules.dep: depmod writes it into our copy.
                /sbin/depmod -b "$work/kernel/$package" "$release"
                touch "$work/kernel/$package/.unpacked"
                kernel_root=$work/kernel/$package
                # Older kernels go once a newer one is at hand.
                find "$work/kernel" -mindepth 1 -maxdepth 1 ! -name "$package" -exec rm -rf {} +
                break
            fi
            [ $try -eq 3 ] || sleep 5
        done
        rm -rf "$work/deb"
        [ -n "$kernel_root" ] || echo "could not fetch $package ($(grep -m1 '^E: ' "$work/download.log" || tail -1 "$work/download.log"))"
    fi
    if [ -z "$kernel_root" ]; then
        at_hand=$(ls -d "$work"/kernel/*/.unpacked 2>/dev/null | tail -1 || true)
        if [ -z "$at_hand" ]; then
            echo "test-qemu.sh: no guest kernel: could not fetch ${package:-the kernel of linux-image-amd64}" \
                "with apt-get download, and none is kept under $work/kernel" >&2
            exit 1
        fi
        kernel_root=$(dirname "$at_hand")
        package=$(basename "$kernel_root")
        echo "using the kernel at hand instead"
    fi
    release=$(ls "$kernel_root/lib/modules")
    vmlinuz=$(ls "$kernel_root"/boot/vmlinuz-*)
    moddir=$kernel_root/lib/modules/$release
    echo "$package ($release)"
}

# qemu_accel WORK: sets accel (QEMU's options) and accel_name, KVM or TCG,
# for the kernel $vmlinuz.
qemu_accel() {
    local work=$1 probe
    # KVM counts as usable when a guest actually boots under it: a kernel with
    # no root file system gets as far as its panic within seconds. Elsewhere
    # (no /dev/kvm, no rights, a nested host that hangs) plain emulation.
    accel=(-accel tcg)
    accel_name=TCG
    if [ "${VANTREL_QEMU_ACCEL:-}" != tcg ] && [ -r /dev/kvm ] && [ -w /dev/kvm ]; then
        probe=$work/kvm-probe.log
        rm -f "$probe"
        if timeout 15 qemu-system-x86_64 -nodefaults -machine pc -accel kvm -cpu host -m 256 \
            -display none -no-reboot -serial "file:$probe" -kernel "$vmlinuz" \
            -append "console=ttyS0 panic=-1" >/dev/null 2>&1 && grep -q "Linux version" "$probe"; then
            accel=(-accel kvm -cpu host)
            accel_name=KVM
        else
            echo "/dev/kvm is there but no guest boots under it: plain emulation"
        fi
    fi
}

# A guest initramfs's modules, taken from the kernel at $moddir into
# $stage/modules, each load group's names in $stage/modules/GROUP.list in
# the order they load: load_group GROUP MODULE...
# The path of a module in modules.dep, by name (- and _ are the same).
module_path() {
    local name=${1//_/[-_]}
    grep -E "(^|/)${name}\.ko(\.xz|\.zst|\.gz)?:" "$moddir/modules.dep" | head -1 | cut -d: -f1
}

# Appends a module and, first, everything it depends on to $1.list,
# skipping what an earlier list already loads.
declare -A loaded=()
add_module() {
    local list=$1 path=$2 dep
    [ -n "$path" ] || return 0
    [ -z "${loaded[$path]:-}" ] || return 0
    loaded[$path]=1
    for dep in $(grep -E "^${path}:" "$moddir/modules.dep" | cut -d: -f2-); do
        add_module "$list" "$dep"
    done
    local file
    file=$(basename "$path")
    case "$file" in
        *.xz) xz -dc "$moddir/$path" >"$stage/modules/${file%.xz}"; file=${file%.xz} ;;
        *.zst) zstd -qdc "$moddir/$path" >"$stage/modules/${file%.zst}"; file=${file%.zst} ;;
        *.gz) gzip -dc "$moddir/$path" >"$stage/modules/${file%.gz}"; file=${file%.gz} ;;
        *) cp "$moddir/$path" "$stage/modules/$file" ;;
    esac
    echo "$file" >>"$stage/modules/$list.list"
}
load_group() {
    local list=$1 name path
    shift
    : >"$stage/modules/$list.list"
    for name in "$@"; do
        path=$(module_path "$name")
        if [ -z "$path" ]; then
            # Built into this kernel, or not needed by it.
            continue
        fi
        add_module "$list" "$path"
    done
}
