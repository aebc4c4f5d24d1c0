#!/bin/sh
# Runs inside test-deb.sh's booted guest, once systemd has started it: waits
# for the package's timer to write vantrel.prom, gathers what the host
# checks (the units' state, their security rating, the node exporter's
# metrics), enables the weekly self-test timer as an administrator would and
# installs the package again over itself, then removes and purges the
# package and gathers what is left.
# The results go over the serial console as a base64 tar; then the guest
# powers off. Named without "vantrel", so that the search for what the
# package left finds none of these files.
out=/root/guest-out
rm -rf "$out"
mkdir -p "$out"
cd "$out" || exit 1
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
systemctl is-enabled "$timer" >timer-enabled.txt 2>&1
systemctl is-active "$timer" >timer-active.txt 2>&1
systemctl show -p Result -p ExecMainStatus -p ActiveState "$service" >service.txt 2>&1
journalctl -b -u "$service" --no-pager -o cat >service-journal.txt 2>&1
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

# An administrator enables the self-test timer (its next run is days
# away); the same package installed again, as an upgrade installs it, must
# leave it running, and removal must stop it.
systemctl enable --now "$self_test_timer" >self-test-enable.txt 2>&1
systemctl is-active "$self_test_timer" >self-test-timer-active-enabled.txt 2>&1
dpkg -i /root/package.deb >reinstall.txt 2>&1
echo $? >reinstall.rc
systemctl is-active "$self_test_timer" >self-test-timer-active-reinstalled.txt 2>&1
systemctl show -p ExecMainStartTimestampMonotonic "$self_test" >self-test-service-reinstalled.txt 2>&1

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

echo "VANTREL-RESULTS-BEGIN"
tar -cf - . | base64
echo "VANTREL-RESULTS-END"
systemctl poweroff --force --force
