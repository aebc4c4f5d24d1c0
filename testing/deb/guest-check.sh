#!/bin/sh
# Runs inside test-deb.sh's booted guest, once systemd has started it: waits
# for the package's timer to write vantrel.prom, gathers what the host
# checks (the units' state, their security rating, the node exporter's
# metrics), traces the program's system calls, starts the service by hand
# in each case the host checks (runs in a row, a full folder, a killed
# run's leftovers, a disk taken away), enables the weekly self-test timer
# as an administrator would and installs the package again over itself,
# then removes and purges the package and gathers what is left.
# The results go over the serial console as a base64 tar; then the guest
# powers off. Named without "vantrel", so that the search for what the
# package left finds none of these files.
out=/root/guest-out
rm -rf "$out"
mkdir -p "$out"
cd "$out" || exit 1
# Where the guest is, on the console: the host shows it when time runs out.
step() {
    echo "guest-check: $(cut -d' ' -f1 /proc/uptime)s: $*"
}
step "started"
timer=vantrel-report-prometheus.timer
service=vantrel-report-prometheus.service
prom=/var/lib/prometheus/node-exporter/vantrel.prom
self_test_timer=vantrel-report-self-test.timer
self_test=vantrel-report-self-test.service

# The timer's first run comes a minute after boot.
for i in $(seq 1 180); do
    [ -e "$prom" ] && break
    sleep 1
done
# The file is whole once it has its name; the run ends just after.
for i in $(seq 1 30); do
    [ "$(systemctl show -P ActiveState "$service")" != activating ] && break
    sleep 1
done
step "the timer's first run is over"
systemctl is-enabled "$timer" >timer-enabled.txt 2>&1
systemctl is-active "$timer" >timer-active.txt 2>&1
systemctl show -p Result -p ExecMainStatus -p ActiveState "$service" >service.txt 2>&1
journalctl -b -u "$service" --no-pager -o cat >service-journal.txt 2>&1
# When the first run came against when the disks did, for a run that
# found none.
journalctl -b -o short-monotonic --no-pager |
    grep -E 'vantrel-report|Attached SCSI|nvme nvme[0-9]|Reached target|udev' >boot-order.txt 2>&1
systemd-analyze security "$service" >security.txt 2>&1
# The weekly self-test: installed, neither enabled nor started, never run.
# (Its service is not started here: what it runs is not this test's part.)
systemctl is-enabled "$self_test_timer" >self-test-timer-enabled.txt 2>&1
systemctl is-active "$self_test_timer" >self-test-timer-active.txt 2>&1
systemctl show -p ActiveState -p ExecMainStartTimestampMonotonic "$self_test" >self-test-service.txt 2>&1
systemd-analyze security "$self_test" >self-test-security.txt 2>&1
systemd-analyze verify --man=no "$timer" "$service" "$self_test_timer" "$self_test" >verify.txt 2>&1
echo $? >verify.rc
cp "$prom" prom.txt 2>/dev/null
ls -l /var/lib/prometheus/node-exporter >textfile-folder.txt 2>&1
# The node exporter, on the loopback address.
for i in $(seq 1 60); do
    curl -sf http://127.0.0.1:9100/metrics >metrics.txt && break
    sleep 1
done

step "tracing the system calls"
# Every system call of a run, made as root outside the unit, the failing
# path too (a full folder), an old file of another owner, and of a
# self-test's start: the host checks each against the units' filter, its
# groups listed here by this systemd.
group() {
    systemd-analyze syscall-filter "$1" | sed '1d; s/^ *//; /^#/d; /^$/d' | while read -r call; do
        case "$call" in
        @*) group "$call" ;;
        *) echo "$call" ;;
        esac
    done
}
group @system-service | LC_ALL=C sort -u >filter-allowed.txt
{
    group @privileged
    group @resources
} | LC_ALL=C sort -u >filter-denied.txt
traces=/root/traces
mkdir -p "$traces" /root/trace-out /root/full
trace() {
    name=$1
    shift
    timeout 60 strace -f -qq -o "$traces/$name" "$@" >/dev/null 2>&1
}
trace new /usr/sbin/vantrel-report --prometheus --output /root/trace-out/vantrel.prom
trace replace /usr/sbin/vantrel-report --prometheus --output /root/trace-out/vantrel.prom
# An old file of another owner, replaced by root without CAP_CHOWN, as the
# service is: it asks capget, and leaves the owner.
chown nobody:nogroup /root/trace-out/vantrel.prom
timeout 60 setpriv --bounding-set=-chown strace -f -qq -o "$traces/other-owner" \
    /usr/sbin/vantrel-report --prometheus --output /root/trace-out/vantrel.prom >/dev/null 2>&1
stat -c '%U' /root/trace-out/vantrel.prom >other-owner.txt 2>&1
mount -t tmpfs -o size=1m tmpfs /root/full
cp /root/trace-out/vantrel.prom /root/full/
dd if=/dev/zero of=/root/full/filler bs=4k >/dev/null 2>&1
trace full /usr/sbin/vantrel-report --prometheus --output /root/full/vantrel.prom
umount /root/full
trace self-test /usr/sbin/vantrel-report --self-test short
ls "$traces" >traces.txt
rm -rf /root/trace-out
cat "$traces"/* | sed -nE 's/^[0-9]+ +([a-z0-9_]+)\(.*/\1/p' | LC_ALL=C sort -u >traced-calls.txt
grep -c 'ENOSPC' "$traces/full" >traced-full-enospc.txt

step "runs by hand"
# The service started by hand, as the timer starts it, a second apart (the
# node exporter serves a file's time in whole seconds): how it ended,
# its own journal lines (by its invocation ID), the file's inode and
# modification time and checksum before and after, its drive count and
# serials, and the modification time the node exporter serves.
textfiles=/var/lib/prometheus/node-exporter
served_mtime() {
    curl -sf http://127.0.0.1:9100/metrics |
        sed -nE 's/^node_textfile_mtime_seconds\{file="[^"]*vantrel\.prom"\} //p'
}
run() {
    name=$1
    sleep 1
    sha256sum "$prom" 2>/dev/null | cut -d' ' -f1 >"$name-before.sha"
    timeout 120 systemctl start "$service" >"$name-start.txt" 2>&1
    echo $? >"$name.rc"
    systemctl show -P InvocationID "$service" >"$name.id" 2>&1
    systemctl show -p Result -p ExecMainStatus "$service" >"$name-service.txt" 2>&1
    journalctl --sync
    journalctl _SYSTEMD_INVOCATION_ID="$(cat "$name.id")" --no-pager -o cat >"$name-journal.txt" 2>&1
    stat -c '%i %.9Y' "$prom" >"$name-stat.txt" 2>&1
    sha256sum "$prom" 2>/dev/null | cut -d' ' -f1 >"$name-after.sha"
    grep -E '^vantrel_scan_drives |^smartctl_device\{' "$prom" >"$name-drives.txt" 2>&1
    served_mtime >"$name-served-mtime.txt"
}
stat -c '%i %.9Y' "$prom" >first-stat.txt 2>&1
served_mtime >first-served-mtime.txt

# Three runs in a row, each replacing the file.
run again-1
run again-2
run again-3

step "a full textfile folder"
# A full textfile folder (a small tmpfs over it, the current file copied
# in, the rest filled): the run fails and the old file stays whole; the
# first run once there is room lands.
cp -p "$prom" /root/prom-before-full
mount -t tmpfs -o size=1m,mode=0755 tmpfs "$textfiles"
cp -p /root/prom-before-full "$prom"
dd if=/dev/zero of="$textfiles/filler" bs=4k >/dev/null 2>&1
run full
ls "$textfiles" >full-folder.txt 2>&1
rm -f "$textfiles/filler"
run room-again
umount "$textfiles"

step "a killed run's leftovers"
# What a run killed while writing leaves: its temporaries, partly written.
# The next run writes around them; postrm removes them.
head -c 100 "$prom" >"$textfiles/vantrel.prom.new"
head -c 200 "$prom" >"$textfiles/vantrel.prom.2.new"
run after-kill
ls "$textfiles" >after-kill-folder.txt 2>&1

step "a disk taken away"
# A disk taken away between two runs: the second NVMe controller, by its
# PCI function, as a hot unplug takes it.
cat /sys/class/nvme/nvme1/serial >removed-serial.txt 2>&1
pci=$(basename "$(readlink -f /sys/class/nvme/nvme1/device)")
echo 1 >"/sys/bus/pci/devices/$pci/remove"
for _ in $(seq 1 20); do
    [ ! -e /sys/class/nvme/nvme1 ] && [ ! -e /dev/nvme1 ] && break
    sleep 0.5
done
run removed
echo "$pci" >removed-pci.txt

step "the self-test timer, the upgrade, removal"
# An administrator enables the self-test timer (its next run is days
# away); the same package installed again, as an upgrade installs it, must
# leave it running, and removal must stop it.
systemctl enable --now "$self_test_timer" >self-test-enable.txt 2>&1
systemctl is-active "$self_test_timer" >self-test-timer-active-enabled.txt 2>&1
dpkg -i /root/package.deb >reinstall.txt 2>&1
echo $? >reinstall.rc
systemctl is-active "$self_test_timer" >self-test-timer-active-reinstalled.txt 2>&1
systemctl show -p ExecMainStartTimestampMonotonic "$self_test" >self-test-service-reinstalled.txt 2>&1

# One more temporary, of any number: removal takes each.
touch "$textfiles/vantrel.prom.17.new"
ls "$textfiles" >textfile-folder-before-remove.txt 2>&1
dpkg --remove vantrel-report >remove.txt 2>&1
echo $? >remove.rc
systemctl is-active "$self_test_timer" >self-test-timer-active-after-remove.txt 2>&1
# The time stamp that the timer's runs leave (Persistent=true), as an
# earlier week's run would have left it: purge must delete it too.
mkdir -p /var/lib/systemd/timers
touch /var/lib/systemd/timers/stamp-vantrel-report-self-test.timer
ls /var/lib/systemd/timers >timers-before-purge.txt 2>&1
ls -l /var/lib/prometheus/node-exporter >textfile-folder-after-remove.txt 2>&1
curl -sf http://127.0.0.1:9100/metrics >metrics-after-remove.txt 2>&1
dpkg --purge vantrel-report >purge.txt 2>&1
echo $? >purge.rc
dpkg-query -W -f '${Status}\n' vantrel-report >status-after-purge.txt 2>&1
find / -xdev -name '*vantrel*' >left-after-purge.txt 2>&1

step "done"
echo "VANTREL-RESULTS-BEGIN"
tar -cf - . | base64
echo "VANTREL-RESULTS-END"
systemctl poweroff --force --force
