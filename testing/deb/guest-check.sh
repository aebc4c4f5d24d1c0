#!/bin/sh
# Runs inside test-deb.sh's booted guest, once systemd has started it: waits
# for the package's timer to write vantrel.prom, gathers what the host
# checks (the units' state, their security rating, the node exporter's
# metrics), then removes and purges the package and gathers what is left.
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
systemd-analyze verify --man=no "$timer" "$service" >verify.txt 2>&1
echo $? >verify.rc
cp "$prom" prom.txt 2>/dev/null
ls -l /var/lib/prometheus/node-exporter >textfile-folder.txt 2>&1
# The node exporter, on the loopback address.
for i in $(seq 1 60); do
    curl -sf http://127.0.0.1:9100/metrics >metrics.txt && break
    sleep 1
done

dpkg --remove vantrel-report >remove.txt 2>&1
echo $? >remove.rc
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
