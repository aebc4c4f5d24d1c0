#!/usr/bin/env bash
# The Debian package on a booted Debian system. A minimal bookworm root file
# system (systemd as init, prometheus-node-exporter, curl, strace), made by
# mmdebstrap from this machine's own apt sources and cached under
# /var/cache, gets the package with dpkg -i, as a user installs it, and the
# kernel's modules. It boots under QEMU on test-qemu.sh's kernel, from a
# virtio disk (so that it takes no sd name), with the disks of test-qemu.sh:
# two IDE, one AHCI, two NVMe, the second with its "reliability degraded"
# warning set. Inside, testing/deb/guest-check.sh waits for the timer's
# first run, reads the node exporter's metrics, looks at the weekly
# self-test's units (installed disabled), traces every system call of the
# program's runs (strace) for this script to hold against the units'
# filter, starts the service by hand: three times in a row, into a full
# textfile folder and once there is room again, beside the temporaries of a
# killed run, after an NVMe controller is taken away; each run's own
# journal, file and the node exporter's view of the file's time are checked
# as a case of its own. Then it enables the self-test timer and installs
# the package again over itself, removes and purges the package, and sends
# the results over the serial console; this script checks them.
#
# The guest has at most VANTREL_DEB_TIMEOUT seconds (default 600: under
# plain emulation it took 206 s, and 370 s while other work kept both cores
# busy).
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
guest_timeout=${VANTREL_DEB_TIMEOUT:-600}
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
packages=systemd-sysv,udev,kmod,dbus,prometheus-node-exporter,curl,strace
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
# virtio and ext4, then the root disk. The drivers of the disks under test
# load here too, as Debian's own initramfs loads a machine's storage
# drivers: the disks are there before systemd starts, and with them the
# block-sd and char-nvme that the service's DeviceAllow= looks up when the
# timer's first run starts. (Left to udev on a slow boot, they came after
# that run, which then could open no disk.)
stage=$work/initramfs
mkdir -p "$stage"/{bin,dev,proc,sys,newroot,modules}
cp /bin/busybox "$stage/bin/busybox"
load_group root virtio_pci virtio_blk crc32c_generic ext4
load_group disks crct10dif_generic crc64_rocksoft_generic sd_mod ata_piix ahci nvme
for list in root disks; do
    echo "$list: $(tr '\n' ' ' <"$stage/modules/$list.list")"
done
cat >"$stage/init" <<'EOF'
#!/bin/busybox sh
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
cat /modules/root.list /modules/disks.list | while read -r module; do
    insmod "/modules/$module" || echo "insmod $module failed"
done
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
# Its steps, each with the guest's uptime.
tr -d '\r' <"$console" | grep -a '^guest-check: ' || true

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
    fail "the service: $(cat "$out/service.txt" "$out/service-journal.txt")"$'\n'"the boot: $(cat "$out/boot-order.txt")"
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
# The shipped rules and dashboard on the booted guest's own vantrel.prom, in
# a Prometheus on the host (the guest has no network): no rule error, every
# panel with data.
if [ -s "$out/prom.txt" ] &&
    scripts/test-prometheus-queries.py --rules docs/vantrel-alerts.yml \
        --dashboard docs/vantrel-dashboard.json --metrics "guest=$out/prom.txt" \
        >"$out/host-rules.txt" 2>&1; then
    pass "the shipped rules evaluate and the dashboard's panels answer on the guest's vantrel.prom"
else
    fail "the shipped rules or dashboard on the guest's vantrel.prom: $(grep FAIL "$out/host-rules.txt" 2>/dev/null | head -5)"
fi

echo "== every system call against the units' filter"
# A file of the results, or nothing where the guest wrote none.
got() { cat "$out/$1" 2>/dev/null || true; }
# Traced in the guest as root outside the units, so that a call the filter
# would refuse shows here by name rather than as a refusal.
traced=$(got traces.txt | tr '\n' ' ')
refused=$(LC_ALL=C comm -23 "$out/traced-calls.txt" "$out/filter-allowed.txt" | tr '\n' ' ' || echo "(no lists)")
denied=$(LC_ALL=C comm -12 "$out/traced-calls.txt" "$out/filter-denied.txt" | tr '\n' ' ' || echo "(no lists)")
[ "$traced" = "full new other-owner replace self-test " ] && grep -qx capget "$out/traced-calls.txt" &&
    [ "$(got other-owner.txt)" = root ] &&
    [[ "$(got traced-full-enospc.txt)" =~ ^[1-9] ]] && [ -s "$out/filter-denied.txt" ] && [ -z "$refused$denied" ] &&
    pass "the $(wc -l <"$out/traced-calls.txt") system calls of a new file, a replaced one, a full folder," \
        "another owner's file (capget, the owner left) and a self-test's start are all in @system-service" \
        "and none in @privileged or @resources" ||
    fail "system calls: traced ${traced:-nothing} (a full folder's ENOSPC $(got traced-full-enospc.txt)," \
        "another owner's file now $(got other-owner.txt)'s);" \
        "outside @system-service: ${refused:-none}; in @privileged or @resources: ${denied:-none}"

echo "== runs by hand"
# A refusal of the hardening, as the program or systemd words it.
refusal="denied|not permitted|not readable|EPERM|EACCES"
# A modification time as stat -c %.9Y gives it, in nanoseconds; 0 where it
# is none.
nanoseconds() {
    [[ "$1" =~ ^[0-9]+\.[0-9]{9}$ ]] && echo $((10#${1%.*} * 1000000000 + 10#${1#*.})) || echo 0
}
# A run by hand (guest-check.sh's run NAME) that must have replaced the
# file the run PREVIOUS left: success, its own journal silent, a new inode
# and a newer modification time. Says why not on standard output.
replaced() {
    local name=$1 previous=$2 id inode mtime old_inode old_mtime
    id=$(got "$name.id")
    [[ "$id" =~ ^[0-9a-f]{32}$ ]] || echo "no invocation ID ($id);"
    { [ "$(got "$name.rc")" = 0 ] && grep -qx Result=success "$out/$name-service.txt" &&
        grep -qx ExecMainStatus=0 "$out/$name-service.txt"; } ||
        echo "it ended: $(got "$name-start.txt") $(got "$name-service.txt" | tr '\n' ' ');"
    ! grep -qiE "$refusal|vantrel-report:" "$out/$name-journal.txt" || echo "its journal: $(got "$name-journal.txt");"
    read -r inode mtime <<<"$(got "$name-stat.txt")"
    read -r old_inode old_mtime <<<"$(got "$previous-stat.txt")"
    [ -n "$inode" ] && [ "$inode" != "$old_inode" ] || echo "inode ${inode:-none}, before it $old_inode;"
    [ "$(nanoseconds "$mtime")" -gt "$(nanoseconds "$old_mtime")" ] || echo "modified ${mtime:-never}, before it $old_mtime;"
}
# pass or fail, by what replaced said.
replaced_check() {
    local what=$1 problems
    problems=$(replaced "$2" "$3")
    [ -z "$problems" ] && pass "$what: success, a new vantrel.prom ($(got "$2-stat.txt"))" ||
        fail "$what: $problems"
}
replaced_check "run 1 of 3 in a row" again-1 first
replaced_check "run 2 of 3 in a row" again-2 again-1
replaced_check "run 3 of 3 in a row" again-3 again-2

# The full folder.
grep -qx Result=exit-code "$out/full-service.txt" && grep -qx ExecMainStatus=4 "$out/full-service.txt" &&
    grep -qF "vantrel.prom: write error: No space left on device" "$out/full-journal.txt" &&
    ! grep -qiE "$refusal" "$out/full-journal.txt" &&
    pass "a full textfile folder: the run failed (exit 4), its journal says: $(got full-journal.txt)" ||
    fail "a full textfile folder: the run $(got full-service.txt | tr '\n' ' '), its journal: $(got full-journal.txt)"
[ -n "$(got full-before.sha)" ] && [ "$(got full-before.sha)" = "$(got full-after.sha)" ] &&
    [ "$(got full-folder.txt | tr '\n' ' ')" = "filler vantrel.prom " ] &&
    pass "a full textfile folder: the old vantrel.prom stayed whole and no temporary is left" ||
    fail "a full textfile folder: vantrel.prom $(got full-before.sha) before, $(got full-after.sha) after;" \
        "the folder: $(got full-folder.txt | tr '\n' ' ')"
replaced_check "a full textfile folder, then room again" room-again full

# The killed run's temporaries.
[ -n "$(got after-kill-before.sha)" ] && [ "$(got after-kill-before.sha)" = "$(got again-3-after.sha)" ] &&
    pass "beside a killed run's temporaries the old vantrel.prom stayed whole" ||
    fail "beside a killed run's temporaries vantrel.prom was $(got after-kill-before.sha), the last run wrote $(got again-3-after.sha)"
problems=$(replaced after-kill again-3)
left=$(got after-kill-folder.txt | grep vantrel | tr '\n' ' ' || true)
[ -z "$problems" ] && [ "$left" = "vantrel.prom vantrel.prom.2.new vantrel.prom.new " ] &&
    grep -qx "vantrel_scan_drives 5" "$out/after-kill-drives.txt" &&
    pass "the run after a killed one: success, a new whole vantrel.prom, the temporaries not its own left alone" ||
    fail "the run after a killed one: $problems the folder: $left; $(grep '^vantrel_scan' "$out/after-kill-drives.txt")"

# The disk taken away.
removed=$(got removed-serial.txt | tr -d ' ')
problems=$(replaced removed after-kill)
others=0
for serial in VTD-IDE-0001 VTD-IDE-0002 VTD-AHCI-0003 VTD-NVME-0004 VTD-NVME-0005; do
    [ "$serial" = "$removed" ] || ! grep -q "serial_number=\"$serial\"" "$out/removed-drives.txt" ||
        others=$((others + 1))
done
[ -z "$problems" ] && [[ "$removed" =~ ^VTD-NVME- ]] && grep -qx "vantrel_scan_drives 4" "$out/removed-drives.txt" &&
    ! grep -qF "serial_number=\"$removed\"" "$out/removed-drives.txt" && [ "$others" = 4 ] &&
    pass "$removed taken away ($(got removed-pci.txt)): the next run reports the other 4 disks" ||
    fail "${removed:-no disk} taken away: $problems $(grep '^vantrel_scan_drives' "$out/removed-drives.txt"), $others others"

# The node exporter's view of the file's age, after each run that wrote it
# there: each later than the one before, and the file's own time.
times="" previous=0 problems=""
for name in first again-1 again-2 again-3 after-kill removed; do
    served=$(got "$name-served-mtime.txt")
    read -r _ mtime <<<"$(got "$name-stat.txt")"
    times+="$name ${served:-none} "
    awk -v s="$served" -v p="$previous" -v m="$mtime" \
        'BEGIN { exit !(s ~ /^[0-9.e+]+$/ && s + 0 > p + 0 && s + 0 <= m + 0.001 && s + 0 > m - 1) }' ||
        problems+="$name served ${served:-nothing} for a file of $mtime after $previous; "
    previous=${served:-0}
done
[ -z "$problems" ] && pass "node_textfile_mtime_seconds of vantrel.prom advances with each run: $times" ||
    fail "node_textfile_mtime_seconds: $problems"

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
grep -q "vantrel.prom.new" "$out/textfile-folder-before-remove.txt" &&
    grep -q "vantrel.prom.2.new" "$out/textfile-folder-before-remove.txt" &&
    grep -q "vantrel.prom.17.new" "$out/textfile-folder-before-remove.txt" &&
    ! grep -q "vantrel" "$out/textfile-folder-after-remove.txt" &&
    pass "removal takes the temporaries of killed runs: $(grep vantrel "$out/textfile-folder-before-remove.txt" | tr '\n' ' ')" ||
    fail "temporaries before removal: $(tr '\n' ' ' <"$out/textfile-folder-before-remove.txt");" \
        "after: $(tr '\n' ' ' <"$out/textfile-folder-after-remove.txt")"
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
