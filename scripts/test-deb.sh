#!/usr/bin/env bash
# The Debian package on a booted Debian system. A minimal bookworm root file
# system (systemd as init, prometheus-node-exporter, curl), made by
# mmdebstrap from this machine's own apt sources and cached under
# /var/cache, gets the package with dpkg -i, as a user installs it, and the
# kernel's modules. It boots under QEMU on test-qemu.sh's kernel, from a
# virtio disk (so that it takes no sd name), with the disks of test-qemu.sh:
# two IDE, one AHCI, two NVMe, the second with its "reliability degraded"
# warning set. Inside, testing/deb/guest-check.sh waits for the timer's
# first run, reads the node exporter's metrics, looks at the weekly
# self-test's units (installed disabled), enables its timer and installs
# the package again over itself, removes and purges the package, and sends
# the results over the serial console; this script checks them.
#
# Skipped (with the reason) only where mmdebstrap or the archive cannot be
# had. VANTREL_DEB_PACKAGE names a .deb already built (else package.sh
# builds one); VANTREL_QEMU_ACCEL=tcg forces plain emulation;
# VANTREL_DEB_CACHE names another cache folder.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/qemu-common.sh

work=build/deb-guest
cache=${VANTREL_DEB_CACHE:-/var/cache/vantrel-test-deb}
guest_timeout=${VANTREL_DEB_TIMEOUT:-240}
started=$(date +%s)
rm -rf "$work"
mkdir -p "$work"

. testing/harness/checks.sh
skip() {
    echo "SKIPPED: the package on a booted Debian system: $*" | tee "$work/skipped"
    exit 0
}

# Whatever ends this script ends QEMU with it.
qemu_pid=""
stop_qemu() {
    if [ -n "$qemu_pid" ]; then
        kill "$qemu_pid" 2>/dev/null || true
        wait "$qemu_pid" 2>/dev/null || true
        qemu_pid=""
    fi
}
trap stop_qemu EXIT

command -v mmdebstrap >/dev/null || skip "mmdebstrap is not installed (scripts/install-deps.sh test installs it)"

echo "== package"
deb=${VANTREL_DEB_PACKAGE:-}
if [ -z "$deb" ]; then
    scripts/package.sh >/dev/null
    deb=$(ls build/deb/vantrel-report_*.deb)
fi
echo "$deb"

echo "== Debian kernel"
qemu_kernel build/qemu-guest

echo "== guest root file system"
# Keyed by what it holds: a new package list makes a new one.
packages=systemd-sysv,udev,kmod,dbus,prometheus-node-exporter,curl
key=$(echo "bookworm apt $packages" | sha256sum | cut -c1-16)
base=$cache/root-$key.tar
if [ -s "$base" ]; then
    echo "cached: $base"
else
    mkdir -p "$cache"
    # This machine's apt sources, as they are, on standard input: deb822
    # files where there are any, else the one-line ones.
    sources=$(find /etc/apt/sources.list.d -maxdepth 1 -name '*.sources' | LC_ALL=C sort)
    format=deb822
    if [ -z "$sources" ]; then
        sources=$(find /etc/apt/sources.list /etc/apt/sources.list.d -maxdepth 1 -name '*.list' 2>/dev/null |
            LC_ALL=C sort)
        format=one-line
    fi
    [ -n "$sources" ] || skip "no apt sources in /etc/apt to make the guest from"
    echo "from the apt sources in $(tr '\n' ' ' <<<"$sources")($format)"
    partial=$cache/root-$key.part.tar
    rm -rf "$partial"
    # deb822 stanzas need a blank line between files.
    if ! for file in $sources; do cat "$file"; echo; done |
        timeout 900 mmdebstrap --variant=apt --format=tar --include="$packages" bookworm \
            "$partial" - >"$work/mmdebstrap.log" 2>&1; then
        rm -rf "$partial"
        skip "mmdebstrap could not make the guest from the archive:" \
            "$(grep -m1 -E '^E: ' "$work/mmdebstrap.log" || tail -1 "$work/mmdebstrap.log")"
    fi
    mv "$partial" "$base"
fi

echo "== install"
root=$work/root
mkdir -p "$root"
tar -xf "$base" -C "$root"
cp -a "$kernel_root/lib/modules" "$root/lib/"
cp "$deb" "$root/tmp/"
# As a user installs it: dpkg -i, its maintainer scripts run (systemd is
# not running in a chroot, so the timer is enabled, not started).
if ! chroot "$root" dpkg -i "/tmp/$(basename "$deb")" >"$work/install.log" 2>&1; then
    cat "$work/install.log" >&2
    echo "test-deb.sh: dpkg -i failed" >&2
    exit 1
fi
# Kept, under a name without "vantrel", to be installed again inside.
mv "$root/tmp/$(basename "$deb")" "$root/root/package.deb"
install -m 0755 testing/deb/guest-check.sh "$root/usr/local/sbin/guest-check"
install -m 0644 testing/deb/guest-check.service "$root/etc/systemd/system/guest-check.service"
ln -s /etc/systemd/system/guest-check.service \
    "$root/etc/systemd/system/multi-user.target.wants/guest-check.service"
echo guest >"$root/etc/hostname"
# The serial console is the results' channel: no login prompt on it.
ln -s /dev/null "$root/etc/systemd/system/serial-getty@ttyS0.service"
size=$(($(du -sm "$root" | cut -f1) + 256))
mkfs.ext4 -q -F -L root -d "$root" "$work/root.img" "${size}M"
rm -rf "$root"

echo "== initramfs"
# virtio and ext4, then the root disk; the disks under test are udev's.
stage=$work/initramfs
mkdir -p "$stage"/{bin,dev,proc,sys,newroot,modules}
cp /bin/busybox "$stage/bin/busybox"
load_group root virtio_pci virtio_blk crc32c_generic ext4
echo "root: $(tr '\n' ' ' <"$stage/modules/root.list")"
cat >"$stage/init" <<'EOF'
#!/bin/busybox sh
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
while read -r module; do
    insmod "/modules/$module" || echo "insmod $module failed"
done </modules/root.list
for i in $(seq 1 60); do
    [ -b /dev/vda ] && break
    sleep 0.5
done
mount -t ext4 -o rw /dev/vda /newroot || { echo "no root disk"; poweroff -f; }
umount /dev /sys /proc
exec switch_root /newroot /sbin/init
EOF
chmod +x "$stage/init"
(cd "$stage" && find . | cpio -o -H newc --quiet) | gzip -1 >"$work/initrd.gz"

echo "== disks"
for disk in ide0 ide1 ahci nvme0 nvme1; do
    truncate -s 64M "$work/$disk.img"
done

qemu_accel "$work"
echo "== guest ($accel_name, at most ${guest_timeout}s)"
console=$work/console.log
guest_started=$(date +%s)
qemu-system-x86_64 \
    -nodefaults -machine pc "${accel[@]}" -m 1024 -display none -no-reboot \
    -serial "file:$console" \
    -kernel "$vmlinuz" -initrd "$work/initrd.gz" \
    -append "console=ttyS0 panic=-1 quiet systemd.show_status=0" \
    -drive "if=none,id=root,format=raw,file=$work/root.img" \
    -device virtio-blk-pci,drive=root \
    -drive "if=none,id=ide0,format=raw,file=$work/ide0.img" \
    -device "ide-hd,drive=ide0,bus=ide.0,unit=0,model=VANTREL DEB IDE,serial=VTD-IDE-0001" \
    -drive "if=none,id=ide1,format=raw,file=$work/ide1.img" \
    -device "ide-hd,drive=ide1,bus=ide.1,unit=1,model=VANTREL DEB IDE,serial=VTD-IDE-0002" \
    -device ahci,id=ahci \
    -drive "if=none,id=ahci0,format=raw,file=$work/ahci.img" \
    -device "ide-hd,drive=ahci0,bus=ahci.0,model=VANTREL DEB AHCI,serial=VTD-AHCI-0003" \
    -drive "if=none,id=nvm0,format=raw,file=$work/nvme0.img" \
    -device "nvme,drive=nvm0,serial=VTD-NVME-0004,smart_critical_warning=0" \
    -drive "if=none,id=nvm1,format=raw,file=$work/nvme1.img" \
    -device "nvme,drive=nvm1,serial=VTD-NVME-0005,smart_critical_warning=4" &
qemu_pid=$!
while kill -0 "$qemu_pid" 2>/dev/null; do
    if [ $(($(date +%s) - guest_started)) -ge "$guest_timeout" ]; then
        echo "the guest ran over ${guest_timeout}s" >&2
        stop_qemu
        break
    fi
    sleep 1
done
stop_qemu
echo "guest ran $(($(date +%s) - guest_started))s"

out=$work/out
mkdir -p "$out"
if ! grep -q VANTREL-RESULTS-END "$console"; then
    echo "no results on the serial console; its end:" >&2
    tail -40 "$console" >&2
    exit 1
fi
tr -d '\r' <"$console" |
    sed -n '/VANTREL-RESULTS-BEGIN$/,/^VANTREL-RESULTS-END$/p' |
    sed '1d;$d' | base64 -d | tar -xf - -C "$out"

echo "== checks"
[ "$(cat "$out/timer-enabled.txt")" = enabled ] && pass "the timer is enabled" ||
    fail "timer is-enabled: $(cat "$out/timer-enabled.txt")"
[ "$(cat "$out/timer-active.txt")" = active ] && pass "the timer is active" ||
    fail "timer is-active: $(cat "$out/timer-active.txt")"
grep -qx "Result=success" "$out/service.txt" && grep -qx "ExecMainStatus=0" "$out/service.txt" &&
    pass "the service ran: $(tr '\n' ' ' <"$out/service.txt")" ||
    fail "the service: $(cat "$out/service.txt" "$out/service-journal.txt")"
# Each service's rating, from the file it was written to.
for entry in vantrel-report-prometheus.service:security.txt vantrel-report-self-test.service:self-test-security.txt; do
    IFS=: read -r unit file <<<"$entry"
    rating=$(sed -n "s/^→ Overall exposure level for $unit: \([0-9.]*\) .*/\1/p" "$out/$file")
    [ -n "$rating" ] && awk -v r="$rating" 'BEGIN { exit !(r <= 2.0) }' &&
        pass "systemd-analyze security in the guest: $unit $rating" ||
        fail "systemd-analyze security in the guest: $unit ${rating:-no rating}"$'\n'"$(tail -5 "$out/$file")"
done
[ "$(cat "$out/verify.rc")" = 0 ] && [ ! -s "$out/verify.txt" ] && pass "systemd-analyze verify: nothing to say" ||
    fail "systemd-analyze verify: $(cat "$out/verify.txt")"
# The hardening refused nothing: no message of the run, every disk read.
[ ! -s "$out/service-journal.txt" ] || ! grep -qiE "denied|not permitted|not readable|vantrel-report:" \
    "$out/service-journal.txt" && pass "the run said nothing of a refusal" ||
    fail "the run's journal: $(cat "$out/service-journal.txt")"
# The weekly self-test is there, but only for the administrator to turn on.
[ "$(cat "$out/self-test-timer-enabled.txt")" = disabled ] && pass "the self-test timer is installed disabled" ||
    fail "self-test timer is-enabled: $(cat "$out/self-test-timer-enabled.txt")"
[ "$(cat "$out/self-test-timer-active.txt")" = inactive ] && pass "the self-test timer is inactive" ||
    fail "self-test timer is-active: $(cat "$out/self-test-timer-active.txt")"
grep -qx "ActiveState=inactive" "$out/self-test-service.txt" &&
    grep -qx "ExecMainStartTimestampMonotonic=0" "$out/self-test-service.txt" &&
    pass "the self-test service never ran" || fail "the self-test service: $(cat "$out/self-test-service.txt")"
metrics=$out/metrics.txt
grep -qx "vantrel_scan_unreadable 0" "$metrics" && grep -qx "vantrel_scan_drives 5" "$metrics" &&
    pass "the node exporter serves 5 drives read, none unreadable" ||
    fail "the node exporter's scan metrics: $(grep '^vantrel_scan' "$metrics" || echo none)"
# Each disk by its serial, its device name from the metrics, then its
# verdict and (NVMe) its critical warning.
for expected in VTD-IDE-0001:GOOD VTD-IDE-0002:GOOD VTD-AHCI-0003:GOOD VTD-NVME-0004:GOOD:0 \
    VTD-NVME-0005:BAD:4; do
    IFS=: read -r serial verdict warning <<<"$expected"
    # The node exporter sorts a sample's labels by name: find the serial's
    # line, then its device, wherever each stands.
    device=$(grep -E "^smartctl_device\{(.*,)?serial_number=\"$serial\"[,}].* 1$" "$metrics" |
        sed -nE 's/^smartctl_device\{(.*,)?device="([^"]*)".*/\2/p' || true)
    if [ -z "$device" ]; then
        fail "no disk with serial $serial in the node exporter's metrics"
        continue
    fi
    if grep -qxF "vantrel_drive_health{device=\"$device\",verdict=\"$verdict\"} 1" "$metrics"; then
        pass "$serial ($device): $verdict"
    else
        fail "$serial ($device): $(grep -F "vantrel_drive_health{device=\"$device\"" "$metrics" | grep ' 1$')"
    fi
    if [ -n "$warning" ]; then
        grep -qxF "smartctl_device_critical_warning{device=\"$device\"} $warning" "$metrics" &&
            pass "$serial: critical warning $warning" ||
            fail "$serial: $(grep -F "critical_warning{device=\"$device\"" "$metrics")"
    fi
done
# What the node exporter serves is the file the service wrote: as many of
# our series (it writes the values in its own number format).
written=$(grep -c '^vantrel_' "$out/prom.txt" || true)
served=$(grep -c '^vantrel_' "$metrics" || true)
[ "$written" -gt 0 ] && [ "$written" = "$served" ] &&
    pass "the node exporter serves the $written vantrel_ series of vantrel.prom" ||
    fail "vantrel.prom holds $written vantrel_ series, the node exporter serves $served"

echo "== the self-test timer enabled, then an upgrade"
[ "$(cat "$out/self-test-timer-active-enabled.txt")" = active ] && pass "systemctl enable --now starts the self-test timer" ||
    fail "self-test timer enabled: $(cat "$out/self-test-timer-active-enabled.txt" "$out/self-test-enable.txt")"
[ "$(cat "$out/reinstall.rc")" = 0 ] && pass "dpkg -i of the same package again" ||
    fail "dpkg -i again: $(cat "$out/reinstall.txt")"
[ "$(cat "$out/self-test-timer-active-reinstalled.txt")" = active ] &&
    pass "after the upgrade the enabled self-test timer still runs" ||
    fail "after the upgrade the self-test timer is $(cat "$out/self-test-timer-active-reinstalled.txt")"
grep -qx "ExecMainStartTimestampMonotonic=0" "$out/self-test-service-reinstalled.txt" &&
    pass "the upgrade started no self-test" || fail "after the upgrade: $(cat "$out/self-test-service-reinstalled.txt")"

echo "== removal"
[ "$(cat "$out/remove.rc")" = 0 ] && pass "dpkg --remove" || fail "dpkg --remove: $(cat "$out/remove.txt")"
! grep -q "vantrel" "$out/textfile-folder-after-remove.txt" &&
    pass "after removal the textfile folder holds no vantrel.prom" ||
    fail "after removal: $(cat "$out/textfile-folder-after-remove.txt")"
[ -s "$out/metrics-after-remove.txt" ] && ! grep -q '^vantrel_\|^smartctl_' "$out/metrics-after-remove.txt" &&
    pass "after removal the node exporter serves no reading of ours" ||
    fail "after removal the node exporter serves: $(grep -c '^vantrel_' "$out/metrics-after-remove.txt")" \
        "vantrel_ series, or nothing"
[ "$(cat "$out/self-test-timer-active-after-remove.txt")" = inactive ] &&
    pass "removal stops the enabled self-test timer" ||
    fail "after removal the self-test timer is $(cat "$out/self-test-timer-active-after-remove.txt")"
grep -qx "stamp-vantrel-report-self-test.timer" "$out/timers-before-purge.txt" &&
    pass "before purge the self-test timer's time stamp is there" ||
    fail "no time stamp to purge: $(cat "$out/timers-before-purge.txt")"
[ "$(cat "$out/purge.rc")" = 0 ] && pass "dpkg --purge" || fail "dpkg --purge: $(cat "$out/purge.txt")"
[ ! -s "$out/left-after-purge.txt" ] && pass "after purge no file named vantrel is left" ||
    fail "after purge: $(cat "$out/left-after-purge.txt")"
grep -q "no packages found\|not-installed" "$out/status-after-purge.txt" &&
    pass "after purge dpkg knows no vantrel-report" || fail "after purge: $(cat "$out/status-after-purge.txt")"

echo "== the package on a booted Debian system ($accel_name): $failures failure(s)," \
    "$(($(date +%s) - started))s in all"
[ "$failures" -eq 0 ]
