#!/usr/bin/env bash
# End to end on disks nobody here wrote: QEMU's emulated IDE, AHCI and NVMe
# drives. Boots Debian's kernel (unpacked from linux-image-amd64, never
# installed) with an initramfs built here: busybox, the modules for the IDE,
# AHCI, virtio-scsi and NVMe controllers, and a static vantrel-report. The
# guest starts self-tests with vantrel-report --self-test, runs --list,
# --health, the full report and --save, and --compare of an edited older
# capture against the live AHCI disk, and sends the results back over the
# serial console; the host then checks them against what QEMU was told,
# against what the saved captures say of the drives, and against a replay
# of those captures.
#
# Machine: primary master and secondary slave are IDE disks of one model,
# then a SCSI disk that takes no ATA commands (an empty position), then
# three AHCI disks: five ATA disks, more than the four positions of old.
# After them two NVMe controllers, one healthy and one whose critical
# warning says "reliability degraded". KVM is used when /dev/kvm can be
# opened, plain emulation (TCG) otherwise; VANTREL_QEMU_ACCEL=tcg forces the
# latter. VANTREL_QEMU_BUILD and VANTREL_QEMU_WORK name other build and work
# folders (two runs side by side).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/qemu-common.sh

work=${VANTREL_QEMU_WORK:-build/qemu-guest}
static_build=${VANTREL_QEMU_BUILD:-build/static}
jobs=2
guest_timeout=${VANTREL_QEMU_TIMEOUT:-240}

ide_model="VANTREL TWIN DISK"
ide_serials=("VTQ-IDE-0001" "VTQ-IDE-0002")
ide_firmware="1.2.3"
ahci_model="VANTREL AHCI DISK 7"
ahci_serial="VTQ-AHCI-0007"
ahci_firmware="AH-9"
# Two more AHCI disks, on ports 1 and 2.
more_ahci_models=("VANTREL AHCI DISK 8" "VANTREL AHCI DISK 9")
more_ahci_serials=("VTQ-AHCI-0008" "VTQ-AHCI-0009")
# QEMU names its NVMe controllers itself; the serial and the critical
# warning (bit 2: reliability degraded) are ours to give.
nvme_model="QEMU NVMe Ctrl"
nvme_serials=("VTQ-NVME-0001" "VTQ-NVME-0002")
nvme_warnings=(0 4)

. testing/harness/checks.sh

started=$(date +%s)

echo "== static vantrel-report"
# vantrel-report links itself as a static PIE: it runs in the guest as it is.
cmake -S . -B "$static_build" -DVANTREL_BUILD_TESTS=OFF -DCMAKE_EXE_LINKER_FLAGS= >/dev/null
cmake --build "$static_build" -j "$jobs" --target vantrel-report
report=$PWD/$static_build/cli/vantrel-report

echo "== Debian kernel"
qemu_kernel "$work"

echo "== initramfs"
stage=$work/initramfs
rm -rf "$stage"
mkdir -p "$stage"/{bin,dev,etc,proc,sys,modules}
echo "nobody:x:65534:65534:nobody:/:/bin/sh" >"$stage/etc/passwd"
echo "nogroup:x:65534:" >"$stage/etc/group"
cp /bin/busybox "$stage/bin/busybox"
cp "$report" "$stage/bin/vantrel-report"
# The guest's vantrel-report --self-test runs, in this order: a routine and
# the one disk it goes to. QEMU completes a short or extended self-test at
# once and logs it as done at 4660 (1234h) hours: the first AHCI disk's log
# gets two entries and the first IDE disk's one, which the reads after them
# find. QEMU's SMART data offers no conveyance self-test, so none is sent;
# an abort is sent and QEMU refuses it; its NVMe controllers offer no
# Device Self-test.
self_tests=(
    "short /dev/sdd"
    "long /dev/sdd"
    "short /dev/sda"
    "conveyance /dev/sdd"
    "abort /dev/sda"
    "short /dev/nvme0"
)
printf '%s\n' "${self_tests[@]}" >"$stage/self-tests.list"

# sd_mod's CRCs want a crypto provider, which modules.dep does not name.
load_group disk crct10dif_generic crc64_rocksoft_generic sd_mod
load_group ide ata_piix
load_group scsi virtio_pci virtio_scsi
load_group ahci ahci
load_group nvme nvme
for list in disk ide scsi ahci nvme; do
    echo "$list: $(tr '\n' ' ' <"$stage/modules/$list.list")"
done

cat >"$stage/init" <<'EOF'
#!/bin/busybox sh
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
echo 1 >/proc/sys/kernel/printk

load() {
    while read -r module; do
        insmod "/modules/$module" || echo "insmod $module failed"
    done <"/modules/$1.list"
}
# Loading one controller at a time and waiting for its disks fixes the
# kernel's names: IDE sda and sdb, the SCSI disk sdc, AHCI sdd to sdf.
wait_disks() {
    for i in $(seq 1 120); do
        [ "$(ls -d /sys/block/sd* 2>/dev/null | wc -l)" -ge "$1" ] && [ -e "/dev/sd$2" ] && return 0
        sleep 0.5
    done
    echo "timed out waiting for $1 disks"
}
load disk
load ide
wait_disks 2 b
load scsi
wait_disks 3 c
load ahci
wait_disks 6 f
# sd names a disk as its probe finishes, and the probes of one controller's
# disks run in parallel: bound again one at a time, in the order of their
# SCSI addresses (host numbers follow the load order above), the disks get
# the names in that order, as each takes the lowest free one.
addresses=$(ls /sys/bus/scsi/drivers/sd | grep -E '^[0-9]+:[0-9]+:[0-9]+:[0-9]+$' |
    sort -t: -k1,1n -k2,2n -k3,3n -k4,4n)
for address in $addresses; do echo "$address" >/sys/bus/scsi/drivers/sd/unbind; done
for address in $addresses; do echo "$address" >/sys/bus/scsi/drivers/sd/bind; done
wait_disks 6 f
# A controller's node comes first; its namespace once the controller is
# live and answers admin commands.
load nvme
for i in $(seq 1 120); do
    [ -e /dev/nvme0n1 ] && [ -e /dev/nvme1n1 ] && break
    sleep 0.5
done

mkdir -p /out/save
cd /out
ls /sys/block >devices.txt
ls -l /dev/nvme* >nvme-devices.txt 2>&1
# Each sd disk's serial, from the VPD page 80h the kernel read of it.
for disk in /sys/block/sd*; do
    echo "${disk##*/} $(tr -c 'A-Za-z0-9-' ' ' <"$disk/device/vpd_pg80" | tr -s ' ' | sed 's/^ //;s/ $//')"
done >sd-serials.txt
for n in 0 1; do
    echo "nvme$n $(cat /sys/class/nvme/nvme$n/serial)" >>nvme-serials.txt
done
run=0
while read -r kind device; do
    run=$((run + 1))
    vantrel-report --self-test "$kind" --device "$device" </dev/null \
        >self-test-$run.txt 2>self-test-$run.err
    echo $? >self-test-$run.rc
done </self-tests.list
# A name that is no disk refuses the whole run before a test starts on the
# disk beside it: sdd's self-test log is the same after it.
vantrel-report --json --device /dev/sdd >refused-before.json 2>/dev/null
vantrel-report --self-test short --device /dev/sdd --device 9 </dev/null \
    >refused-self-test.txt 2>refused-self-test.err
echo $? >refused-self-test.rc
vantrel-report --json --device /dev/sdd >refused-after.json 2>/dev/null
# Linux names are exact: /dev/SDD is no disk.
vantrel-report --list --device /dev/SDD >upper.txt 2>upper.err
echo $? >upper.rc
vantrel-report --list >list.txt 2>list.err
echo $? >list.rc
vantrel-report --health >health.txt 2>health.err
echo $? >health.rc
vantrel-report --json >json.txt 2>json.err
echo $? >json.rc
vantrel-report --prometheus >prometheus.txt 2>prometheus.err
echo $? >prometheus.rc
vantrel-report >report.txt 2>report.err
echo $? >report.rc
vantrel-report --save /out/save --output save-report.txt 2>save.err
echo $? >save.rc
su nobody -s /bin/sh -c "vantrel-report --list" >user.txt 2>user.err
echo $? >user.rc
# --device: a link to a disk (as /dev/disk/by-id holds them), an NVMe
# namespace and a position number each choose one disk; a partition's name
# is no disk of the machine.
mkdir /links && ln -s /dev/sdd /links/ata-VANTREL_AHCI_DISK
vantrel-report --list --device /links/ata-VANTREL_AHCI_DISK --device /dev/nvme1n1 --device 1 \
    >device.txt 2>device.err
echo $? >device.rc
vantrel-report --list --device /dev/sdd1 >nodisk.txt 2>nodisk.err
echo $? >nodisk.rc
# An older reading of the AHCI disk, made from its capture: the start/stop
# count's value one higher (so it fell toward its threshold), no power-on
# hour yet, and two pending sectors in the empty slot 7 (SMART data starts
# at byte 540 of a saved capture, after IDFY and SMST; slot k at 542 + 12 k).
poke() { printf "$3" | dd of="$1" bs=1 seek="$2" conv=notrunc 2>/dev/null; }
old=/out/old-ahci.smart
cp /out/save/VANTREL_AHCI_DISK_7--AH-9.smart "$old"
poke "$old" 569 '\145'
poke "$old" 595 '\000'
poke "$old" 626 '\305\062\000\144\144\002'
# Its checksum made whole again (the 512 bytes sum to 0): a reply that
# fails it is not judged.
sum=$(od -An -tu1 -j 540 -N 511 "$old" | awk '{for (i = 1; i <= NF; i++) s += $i} END {print (256 - s % 256) % 256}')
poke "$old" 1051 "$(printf '\\%03o' "$sum")"
vantrel-report --compare "$old" >compare.txt 2>compare.err
echo $? >compare.rc
# An older reading of the degraded NVMe controller, from its capture, with
# the critical warning still clear (its health log follows the NVID and
# NVNS sections, or NVID alone).
nvme_old=/out/old-nvme.smart
cp /out/save/QEMU_NVMe_Ctrl-2--*.smart "$nvme_old"
for at in 8208 4104; do
    if [ "$(dd if="$nvme_old" bs=1 skip=$at count=4 2>/dev/null)" = NVHL ]; then
        poke "$nvme_old" $((at + 8)) '\000'
        break
    fi
done
vantrel-report --compare "$nvme_old" >nvme-compare.txt 2>nvme-compare.err
echo $? >nvme-compare.rc
echo "VANTREL-RESULTS-BEGIN"
tar -cf - . | base64
echo "VANTREL-RESULTS-END"
poweroff -f
EOF
chmod +x "$stage/init"
(cd "$stage" && find . | cpio -o -H newc --quiet) | gzip -1 >"$work/initrd.gz"

echo "== disks"
mkdir -p "$work/disks"
for disk in ide0 ide1 scsi ahci ahci1 ahci2 nvme0 nvme1; do
    rm -f "$work/disks/$disk.img"
    truncate -s 64M "$work/disks/$disk.img"
done

qemu_accel "$work"

echo "== guest ($accel_name, at most ${guest_timeout}s)"
# The kernel names the sd disks as their probes finish, and those run in
# parallel: the checks below expect the order the controllers were loaded
# in, and the guest says which serial each name got. Another order boots
# the guest again, at most three times in all.
expected_names=$(printf '%s\n' "sda ${ide_serials[0]}" "sdb ${ide_serials[1]}" "sdc VTQ-SCSI-0003" \
    "sdd $ahci_serial" "sde ${more_ahci_serials[0]}" "sdf ${more_ahci_serials[1]}")
for boot in 1 2 3; do
    console=$work/console.log
    rm -f "$console"
    guest_started=$(date +%s)
    set +e
    timeout "$guest_timeout" qemu-system-x86_64 \
        -nodefaults -machine pc "${accel[@]}" -m 512 -display none -no-reboot \
        -serial "file:$console" \
        -kernel "$vmlinuz" -initrd "$work/initrd.gz" \
        -append "console=ttyS0 panic=-1 loglevel=1" \
        -drive "if=none,id=ide0,format=raw,file=$work/disks/ide0.img" \
        -device "ide-hd,drive=ide0,bus=ide.0,unit=0,model=$ide_model,serial=${ide_serials[0]},ver=$ide_firmware" \
        -drive "if=none,id=ide1,format=raw,file=$work/disks/ide1.img" \
        -device "ide-hd,drive=ide1,bus=ide.1,unit=1,model=$ide_model,serial=${ide_serials[1]},ver=$ide_firmware" \
        -device virtio-scsi-pci,id=vscsi \
        -drive "if=none,id=scsi,format=raw,file=$work/disks/scsi.img" \
        -device scsi-hd,drive=scsi,bus=vscsi.0,serial=VTQ-SCSI-0003 \
        -device ahci,id=ahci \
        -drive "if=none,id=ahci0,format=raw,file=$work/disks/ahci.img" \
        -device "ide-hd,drive=ahci0,bus=ahci.0,model=$ahci_model,serial=$ahci_serial,ver=$ahci_firmware" \
        -drive "if=none,id=ahci1,format=raw,file=$work/disks/ahci1.img" \
        -device "ide-hd,drive=ahci1,bus=ahci.1,model=${more_ahci_models[0]},serial=${more_ahci_serials[0]},ver=$ahci_firmware" \
        -drive "if=none,id=ahci2,format=raw,file=$work/disks/ahci2.img" \
        -device "ide-hd,drive=ahci2,bus=ahci.2,model=${more_ahci_models[1]},serial=${more_ahci_serials[1]},ver=$ahci_firmware" \
        -drive "if=none,id=nvm0,format=raw,file=$work/disks/nvme0.img" \
        -device "nvme,drive=nvm0,serial=${nvme_serials[0]},smart_critical_warning=${nvme_warnings[0]}" \
        -drive "if=none,id=nvm1,format=raw,file=$work/disks/nvme1.img" \
        -device "nvme,drive=nvm1,serial=${nvme_serials[1]},smart_critical_warning=${nvme_warnings[1]}"
    qemu_status=$?
    set -e
    echo "guest ran $(($(date +%s) - guest_started))s, QEMU exit status $qemu_status"

    out=$work/out
    rm -rf "$out"
    mkdir -p "$out"
    if ! grep -q VANTREL-RESULTS-END "$console"; then
        echo "no results on the serial console; its end:" >&2
        tail -40 "$console" >&2
        exit 1
    fi
    tr -d '\r' <"$console" |
        sed -n '/^VANTREL-RESULTS-BEGIN$/,/^VANTREL-RESULTS-END$/p' |
        sed '1d;$d' | base64 -d | tar -xf - -C "$out"
    if [ "$(cat "$out/sd-serials.txt")" = "$expected_names" ]; then
        break
    fi
    echo "the kernel named the disks in another order:" $(cat "$out/sd-serials.txt")
    if [ "$boot" = 3 ]; then
        fail "three boots without the disks in the order the checks expect"
    fi
done

echo "== checks"
echo "guest disks: $(tr '\n' ' ' <"$out/devices.txt")"
echo "NVMe controllers: $(tr '\n' ' ' <"$out/nvme-serials.txt")"
# --health ends with 3: one NVMe controller is BAD.
for run in list:0 health:3 report:0 save:0 json:0 prometheus:0; do
    if [ "$(cat "$out/${run%:*}.rc")" = "${run#*:}" ]; then
        pass "${run%:*} exit status ${run#*:}"
    else
        fail "${run%:*} exit status $(cat "$out/${run%:*}.rc"): $(cat "$out/${run%:*}.err")"
    fi
done
# The SCSI disk keeps its position and is named, with its reason: on
# standard error in the text modes, only in the document in the others.
scsi_line="vantrel-report: /dev/sdc: not readable: takes neither ATA nor NVMe commands"
for mode in list health report; do
    [ "$(cat "$out/$mode.err")" = "$scsi_line" ] && pass "$mode names the SCSI disk on stderr" ||
        fail "$mode stderr: $(cat "$out/$mode.err")"
done
[ ! -s "$out/json.err" ] && [ ! -s "$out/prometheus.err" ] && pass "documents: nothing on stderr" ||
    fail "documents' stderr: $(cat "$out"/{json,prometheus}.err)"
grep -qx 'vantrel_scan_unreadable 1' "$out/prometheus.txt" && pass "vantrel_scan_unreadable 1" ||
    fail "vantrel_scan_unreadable: $(grep unreadable "$out/prometheus.txt")"
python3 -c '
import json, sys
unreadable = json.load(open(sys.argv[1]))["vantrel"].get("unreadable")
sys.exit(unreadable != [{"device": "/dev/sdc",
                         "reason": "not readable: takes neither ATA nor NVMe commands"}])
' "$out/json.txt" && pass "JSON vantrel.unreadable names /dev/sdc" ||
    fail "JSON vantrel.unreadable: $(grep -A6 unreadable "$out/json.txt")"

# The NVMe comparison: the warning newly set, the verdict then and now.
if [ "$(cat "$out/nvme-compare.rc")" = 3 ] &&
    grep -qx "Health then: GOOD" "$out/nvme-compare.txt" &&
    grep -qx "Health now: BAD: reliability degraded" "$out/nvme-compare.txt" &&
    grep -q "^1 .*0x0 -> 0x4 .*newly set: reliability degraded$" "$out/nvme-compare.txt"; then
    pass "--compare of an older NVMe reading with the live controller"
else
    fail "NVMe --compare (status $(cat "$out/nvme-compare.rc")): $(cat "$out/nvme-compare.txt" \
        "$out/nvme-compare.err")"
fi

# Without root: one line that says so, and not "no drives".
if [ "$(cat "$out/user.rc")" = 1 ] && [ ! -s "$out/user.txt" ] &&
    [ "$(wc -l <"$out/user.err")" = 1 ] && grep -q "run as root" "$out/user.err" &&
    ! grep -qi "no smart" "$out/user.err"; then
    pass "without root: $(cat "$out/user.err")"
else
    fail "without root: status $(cat "$out/user.rc"), stderr: $(cat "$out/user.err")"
fi

expected_list=$(printf '%s\n' "$ide_model-1" "$ide_model-2" "$ahci_model" "${more_ahci_models[@]}" \
    "$nvme_model-1" "$nvme_model-2")
if [ "$(cat "$out/list.txt")" = "$expected_list" ]; then
    pass "drive list: identical models as -1 and -2, the three AHCI disks, then the two NVMe controllers"
else
    fail "drive list is"$'\n'"$(cat "$out/list.txt")"$'\n'"expected"$'\n'"$expected_list"
fi

# Each chosen disk alone, so without a -1 or -2: the second IDE disk, the
# first AHCI disk and the second NVMe controller.
expected_chosen=$(printf '%s\n' "$ide_model" "$ahci_model" "$nvme_model")
if [ "$(cat "$out/device.rc")" = 0 ] && [ "$(cat "$out/device.txt")" = "$expected_chosen" ] &&
    [ ! -s "$out/device.err" ]; then
    pass "--device: a link, a namespace and a position choose their disks alone"
else
    fail "--device (status $(cat "$out/device.rc")):"$'\n'"$(cat "$out/device.txt" "$out/device.err")"
fi
if [ "$(cat "$out/nodisk.rc")" = 2 ] && [ ! -s "$out/nodisk.txt" ] &&
    [ "$(cat "$out/nodisk.err")" = "vantrel-report: /dev/sdd1: not a disk of this machine" ]; then
    pass "--device: a partition is no disk of the machine (exit status 2)"
else
    fail "--device /dev/sdd1 (status $(cat "$out/nodisk.rc")): $(cat "$out/nodisk.err")"
fi

# One report block per drive, split on its "Drive N" head line.
report_text=$(tr -d '\r' <"$out/report.txt")
block() {
    awk -v want="Drive $1 " 'index($0, "Drive ") == 1 {on = index($0, want) == 1} on' \
        <<<"$report_text"
}
check_block() {
    local position=$1 model=$2 serial=$3 firmware=$4 text
    text=$(block "$position")
    if [ -z "$text" ]; then
        fail "no report for drive $position"
        return
    fi
    grep -qxF "Serial Number: $serial" <<<"$text" && grep -qxF "FirmWare Rev: $firmware" <<<"$text" &&
        grep -qxF "Model Number: $model" <<<"$text" &&
        pass "drive $position: model, serial and firmware as QEMU was given them" ||
        fail "drive $position identity:"$'\n'"$(grep -E '^(Serial|FirmWare|Model)' <<<"$text")"
    grep -q "^Drive $position  SMART enabled" <<<"$text" && pass "drive $position: SMART enabled" ||
        fail "drive $position: $(head -1 <<<"$text")"
}
check_block 0 "$ide_model" "${ide_serials[0]}" "$ide_firmware"
check_block 1 "$ide_model" "${ide_serials[1]}" "$ide_firmware"
check_block 3 "$ahci_model" "$ahci_serial" "$ahci_firmware"
check_block 4 "${more_ahci_models[0]}" "${more_ahci_serials[0]}" "$ahci_firmware"
check_block 5 "${more_ahci_models[1]}" "${more_ahci_serials[1]}" "$ahci_firmware"

# The NVMe controllers at positions 6 and 7. The kernel numbers them as
# their probes finish, so which serial is where is read from the report;
# both must be there, once each.
nvme_position=()
for i in 0 1; do
    nvme_position[i]=""
    for position in 6 7; do
        if grep -qxF "Serial Number: ${nvme_serials[i]}" <<<"$(block "$position")"; then
            nvme_position[i]=$position
        fi
    done
    if [ -n "${nvme_position[i]}" ] &&
        grep -qxF "Model Number: $nvme_model" <<<"$(block "${nvme_position[i]}")"; then
        pass "NVMe ${nvme_serials[i]}: at position ${nvme_position[i]}, model as QEMU names it"
    else
        fail "NVMe ${nvme_serials[i]}: no report block with its serial and model at 6 or 7"
        continue
    fi
    # QEMU's controller reports 323 K, and the warning bits it was given.
    text=$(block "${nvme_position[i]}")
    warning_row=$(printf '1\tCritical Warning +0x%X \t' "${nvme_warnings[i]}")
    grep -qE "^2"$'\t'"Composite Temperature +50 C"$'\t' <<<"$text" &&
        grep -qE "^$warning_row" <<<"$text" &&
        pass "NVMe ${nvme_serials[i]}: 50 C, critical warning ${nvme_warnings[i]}" ||
        fail "NVMe ${nvme_serials[i]} rows:"$'\n'"$(grep -E '^[12]'$'\t' <<<"$text")"
done
[ -z "$(block 8)" ] || fail "a report block after the two NVMe controllers"
[ -z "$(block 2)" ] && pass "the SCSI disk at position 2 is an empty position" ||
    fail "position 2 has a report"
[ "$(block 0 | head -7 | grep -c 'Drive Head: 0xA0')" = 1 ] &&
    [ "$(block 1 | head -7 | grep -c 'Drive Head: 0xB0')" = 1 ] &&
    pass "drive/head registers 0xA0 and 0xB0 by position" || fail "drive/head registers"

# The report's attribute rows as "ID value worst threshold raw", decimal;
# raw is the number the raw column starts with ("16ms" is 16).
attribute_rows() {
    awk -F'\t' 'function hex(text, i, n) {
            n = 0
            for (i = 1; i <= length(text); i++)
                n = n * 16 + index("0123456789ABCDEF", toupper(substr(text, i, 1))) - 1
            return n
        }
        /^-+$/ {on = 1; next}
        on && NF >= 5 {
            raw = substr($2, 37)
            sub(/^ +/, "", raw)
            match(raw, /^[0-9]+/)
            n = split($3, status, " ")
            printf "%d %d %d %d %s\n", hex($1), status[n], $4, $5, substr(raw, 1, RLENGTH)
        }' <<<"$1"
}
# What QEMU's emulated drive reports, IDE and AHCI alike, from the attribute
# table QEMU builds its SMART data from (ID, value, worst, threshold, raw low
# 32 bits): a raw-read-error-rate, spin-up time 16 ms, 100 start/stop, no
# reallocated sector, 1 power-on hour, no power cycle, and airflow
# temperature 31 C with its lowest and highest (31, 31) in raw bytes 2 and 3.
qemu_rows="1 100 100 6 0
3 100 100 0 16
4 100 100 20 100
5 100 100 36 0
9 100 100 0 1
12 100 100 0 0
190 69 69 50 522125343"
for position in 0 1 3 4 5; do
    rows=$(attribute_rows "$(block "$position")")
    if [ "$rows" = "$qemu_rows" ]; then
        pass "drive $position: attribute table as QEMU's emulation reports it"
    else
        fail "drive $position attributes:"$'\n'"$rows"$'\n'"expected:"$'\n'"$qemu_rows"
    fi
done

echo "== --health"
# One line per drive, named as in the list; QEMU's ATA disks are GOOD, the
# NVMe controller with bit 2 of its critical warning set is BAD for it.
health_lines=$(cat "$out/health.txt")
mapfile -t listed <"$out/list.txt"
[ "$(wc -l <<<"$health_lines")" = "${#listed[@]}" ] && pass "--health: one line per listed drive" ||
    fail "--health lines:"$'\n'"$health_lines"
for name in "${listed[@]:0:5}"; do
    grep -qxF "$name: GOOD" <<<"$health_lines" && pass "--health: $name GOOD" ||
        fail "--health: no line \"$name: GOOD\" in"$'\n'"$health_lines"
done
for i in 0 1; do
    [ -n "${nvme_position[i]}" ] || continue
    name="${listed[${nvme_position[i]} - 1]}"  # position 2 is a gap, not listed
    if [ "${nvme_warnings[i]}" = 0 ]; then
        expected="$name: GOOD"
    else
        expected="$name: BAD: reliability degraded"
    fi
    grep -qxF "$expected" <<<"$health_lines" &&
        pass "--health: ${nvme_serials[i]} (critical warning ${nvme_warnings[i]}): $expected" ||
        fail "--health: no line \"$expected\" in"$'\n'"$health_lines"
done

echo "== --json and --prometheus"
# Every disk by its serial and device; the NVMe controllers' health log and
# verdict as QEMU was told. The device of each controller is the one whose
# serial the guest's sysfs gave.
json_check=$(python3 - "$out/json.txt" "$out/nvme-serials.txt" \
    "/dev/sda=${ide_serials[0]}" "/dev/sdb=${ide_serials[1]}" "/dev/sdd=$ahci_serial" \
    "/dev/sde=${more_ahci_serials[0]}" "/dev/sdf=${more_ahci_serials[1]}" \
    "${nvme_serials[0]}=${nvme_warnings[0]}" "${nvme_serials[1]}=${nvme_warnings[1]}" <<'PY' 2>&1
import json, sys
document = json.load(open(sys.argv[1]))
controllers = dict(line.split()[::-1] for line in open(sys.argv[2]) if line.strip())
drives = {d["serial_number"]: d for d in document["drives"]}
problems = []
expected = {}
for pair in sys.argv[3:]:
    left, right = pair.split("=")
    if left.startswith("/dev/"):
        expected[right] = (left, "ATA", None)
    else:
        expected[left] = ("/dev/" + controllers.get(left, "?"), "NVMe", int(right))
if sorted(drives) != sorted(expected):
    problems.append("serials %s, expected %s" % (sorted(drives), sorted(expected)))
for serial, (device, protocol, warning) in expected.items():
    drive = drives.get(serial)
    if drive is None:
        continue
    got = (drive["device"]["name"], drive["device"]["protocol"])
    if got != (device, protocol):
        problems.append("%s: device %s, expected %s" % (serial, got, (device, protocol)))
    if warning is None:
        # QEMU's disks never sleep: each says "active or idle" and is read.
        own = drive["vantrel"]
        if (own.get("power_mode"), own.get("read")) != ({"value": 255, "string": "active or idle"}, True):
            problems.append("%s: power mode %s, read %s" % (serial, own.get("power_mode"), own.get("read")))
        # Both logs, sound: no error logged; the self-tests started above.
        errors = drive.get("ata_smart_error_log", {}).get("summary")
        if errors != {"revision": 1, "count": 0, "logged_count": 0, "table": []}:
            problems.append("%s: error log %s" % (serial, errors))
        started = {"/dev/sdd": [2, 1], "/dev/sda": [1]}.get(device, [])
        tests = drive.get("ata_smart_self_test_log", {}).get("standard", {})
        got = [(t["type"]["value"], t["type"]["string"], t["status"]["value"], t["status"]["passed"],
                t["lifetime_hours"]) for t in tests.get("table", [])]
        names = {1: "Short offline", 2: "Extended offline"}
        if (tests.get("count"), tests.get("error_count_total"), got) != \
                (len(started), 0, [(n, names[n], 0, True, 4660) for n in started]):
            problems.append("%s: self-test log %s" % (serial, tests))
        if own.get("integrity", {}).get("error_log") != "ok" or \
                own["integrity"].get("self_test_log") != "ok":
            problems.append("%s: integrity %s" % (serial, own.get("integrity")))
        # QEMU's disks always answer SMART RETURN STATUS with passed.
        if drive.get("smart_status") != {"passed": True}:
            problems.append("%s: smart_status %s" % (serial, drive.get("smart_status")))
        continue
    log = drive.get("nvme_smart_health_information_log", {})
    verdict = "GOOD" if warning == 0 else "BAD"
    got = (log.get("temperature"), log.get("critical_warning"),
           drive.get("smart_status", {}).get("passed"), drive["vantrel"]["health"]["verdict"])
    if got != (50, warning, warning == 0, verdict):
        problems.append("%s: temperature, critical warning, passed, verdict %s" % (serial, got))
print("\n".join(problems))
PY
)
[ -z "$json_check" ] && pass "--json: every disk at its device, each ATA disk active and read with both logs (the self-tests started, no other) and its self-assessment passed; NVMe 50 C, its warning and verdict" ||
    fail "--json: $json_check"
prometheus=$(cat "$out/prometheus.txt")
[ "$(grep -c '^smartctl_device{' <<<"$prometheus")" = 7 ] &&
    pass "--prometheus: smartctl_device for all seven disks" ||
    fail "--prometheus: $(grep '^smartctl_device{' <<<"$prometheus")"
# Each ATA disk's self-assessment; every disk's bit mask.
for disk in sda sdb sdd sde sdf; do
    grep -qE "^smartctl_device_smart_status\{device=\"$disk\"\} 1\$" <<<"$prometheus" &&
        pass "--prometheus: $disk smart_status 1" ||
        fail "--prometheus: $disk: $(grep -E "^smartctl_device_smart_status\{device=\"$disk\"" <<<"$prometheus")"
done
[ "$(grep -c '^smartctl_device_smartctl_exit_status{' <<<"$prometheus")" = 7 ] &&
    pass "--prometheus: smartctl_device_smartctl_exit_status for all seven disks" ||
    fail "--prometheus: $(grep '^smartctl_device_smartctl_exit_status{' <<<"$prometheus")"
# The labels as the exporter's users select them: the kernel's names, sat
# for the disks reached through SCSI/ATA translation.
ata_info=$(grep -c '^smartctl_device{.*,protocol="ATA",' <<<"$prometheus")
nvme_info=$(grep -c '^smartctl_device{.*,protocol="NVMe",' <<<"$prometheus")
[ "$ata_info" -gt 0 ] && [ "$nvme_info" -gt 0 ] &&
    [ "$(grep -cE '^smartctl_device\{device="sd[a-z]+",.*,interface="sat",protocol="ATA",' <<<"$prometheus")" = "$ata_info" ] &&
    [ "$(grep -cE '^smartctl_device\{device="nvme[0-9]+",.*,interface="nvme",protocol="NVMe",' <<<"$prometheus")" = "$nvme_info" ] &&
    pass "--prometheus: device=\"sdX\" interface=\"sat\" for $ata_info ATA disks, device=\"nvmeN\" for $nvme_info NVMe" ||
    fail "--prometheus labels: $(grep '^smartctl_device{' <<<"$prometheus")"
while read -r controller serial; do
    for i in 0 1; do
        [ "$serial" = "${nvme_serials[i]}" ] || continue
        grep -qxF "smartctl_device_critical_warning{device=\"$controller\"} ${nvme_warnings[i]}" \
            <<<"$prometheus" &&
            grep -qxF "smartctl_device_temperature{device=\"$controller\",temperature_type=\"current\"} 50" \
                <<<"$prometheus" &&
            pass "--prometheus: /dev/$controller critical warning ${nvme_warnings[i]}, 50 C" ||
            fail "--prometheus /dev/$controller:"$'\n'"$(grep -F "device=\"$controller\"" <<<"$prometheus" | grep -E 'warning|temperature')"
    done
done <"$out/nvme-serials.txt"

echo "== captures"
save_dir=$out/save
twin1="$save_dir/VANTREL_TWIN_DISK-1--1.2.3.smart"
twin2="$save_dir/VANTREL_TWIN_DISK-2--1.2.3.smart"
ahci="$save_dir/VANTREL_AHCI_DISK_7--AH-9.smart"
ahci8="$save_dir/VANTREL_AHCI_DISK_8--AH-9.smart"
ahci9="$save_dir/VANTREL_AHCI_DISK_9--AH-9.smart"
# The NVMe captures are named by the list's names, whose firmware text is
# QEMU's version.
nvme_saved=()
for suffix in 1 2; do
    found=$(ls "$save_dir" | grep -E "^QEMU_NVMe_Ctrl-$suffix--.+\.smart\$" || true)
    if [ "$(wc -w <<<"$found")" = 1 ]; then
        nvme_saved+=("$save_dir/$found")
    else
        fail "no one NVMe capture QEMU_NVMe_Ctrl-$suffix--*.smart among: $(ls "$save_dir")"
    fi
done
for file in "$twin1" "$twin2" "$ahci" "$ahci8" "$ahci9" "${nvme_saved[@]}"; do
    [ -f "$file" ] && pass "saved $(basename "$file")" || fail "missing $(basename "$file")"
done
[ "$(ls "$save_dir" | wc -l)" = 7 ] || fail "saved files: $(ls "$save_dir")"
for file in "${nvme_saved[@]}"; do
    if "$report" "$file" >"$work/nvme-replay.txt" 2>"$work/nvme-replay.err"; then
        pass "the NVMe capture $(basename "$file") replays (exit status 0)"
    else
        fail "replaying $(basename "$file"): $(cat "$work/nvme-replay.err")"
    fi
done
if cmp -s "$out/save-report.txt" "$out/report.txt"; then
    pass "the --save run reported the same bytes"
else
    fail "the --save run's report differs"
fi
replay=$work/replay.txt
"$report" "$twin1" "$twin2" - "$ahci" "$ahci8" "$ahci9" "${nvme_saved[@]}" >"$replay"
if cmp -s "$replay" "$out/report.txt"; then
    pass "captures replayed on the host give the live report byte for byte"
else
    fail "replay differs from the live report"
    diff <(tr -d '\r' <"$replay") <(tr -d '\r' <"$out/report.txt") | head -20 >&2
fi
if [ "$("$report" --list "$twin1" "$twin2" - "$ahci" "$ahci8" "$ahci9" "${nvme_saved[@]}")" = "$(cat "$out/list.txt")" ]; then
    pass "replayed drive list equals the live one"
else
    fail "replayed drive list differs"
fi

echo "== --self-test"
# capture_byte FILE TAG OFFSET: a byte of a saved capture's section, in
# decimal; nothing when the capture has no such section.
capture_byte() {
    python3 - "$@" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
at = 0
while at + 8 <= len(data):
    length = struct.unpack(">I", data[at + 4:at + 8])[0]
    if data[at:at + 4] == sys.argv[2].encode() and int(sys.argv[3]) < length:
        print(data[at + 8 + int(sys.argv[3])])
        break
    at += 8 + length
PY
}
# " (about N minutes)": a drive's polling time as a started line gives it.
about() {
    [ "$1" = 1 ] && echo " (about 1 minute)" || echo " (about $1 minutes)"
}
# The extended polling time: byte 373, or bytes 375 and 376 where it is FFh.
extended_minutes() {
    local minutes
    minutes=$(capture_byte "$1" SMDT 373)
    [ "$minutes" = 255 ] &&
        echo $(($(capture_byte "$1" SMDT 375) + 256 * $(capture_byte "$1" SMDT 376))) ||
        echo "$minutes"
}
# The expected lines follow from what the drives say: SMART data byte 367
# bit 0 (EXECUTE OFF-LINE IMMEDIATE), bit 4 (self-tests), bit 5 (conveyance),
# and Identify Controller's OACS bit 4 (Device Self-test).
for disk in "$ahci" "$twin1"; do
    offer=$(capture_byte "$disk" SMDT 367)
    [ -n "$offer" ] && [ $((offer & 0x31)) = $((0x11)) ] &&
        pass "$(basename "$disk"): SMART data byte 367 $(printf %02Xh "$offer"): short and extended self-tests, no conveyance" ||
        fail "$(basename "$disk"): SMART data byte 367 is \"${offer:+$(printf %02Xh "$offer")}\", not short and extended without conveyance"
done
for file in "${nvme_saved[@]}"; do
    oacs=$(capture_byte "$file" NVID 256)
    [ -n "$oacs" ] && [ $((oacs & 0x10)) = 0 ] &&
        pass "$(basename "$file"): OACS $(printf %02X%02Xh "$(capture_byte "$file" NVID 257)" "$oacs"): no Device Self-test" ||
        fail "$(basename "$file"): OACS low byte \"$oacs\" offers a Device Self-test, or is missing"
done
# Each run's status and its one line, in the order of self_tests.
expected_self_tests=(
    "0 /dev/sdd: short self-test started$(about "$(capture_byte "$ahci" SMDT 372)")"
    "0 /dev/sdd: extended self-test started$(about "$(extended_minutes "$ahci")")"
    "0 /dev/sda: short self-test started$(about "$(capture_byte "$twin1" SMDT 372)")"
    "0 /dev/sdd: not started: the drive offers no conveyance self-test"
    "1 /dev/sda: abort refused by the drive"
    "0 /dev/nvme0: not started: the drive offers no self-test"
)
for i in "${!self_tests[@]}"; do
    run=$((i + 1))
    status=${expected_self_tests[i]%% *}
    line=${expected_self_tests[i]#* }
    if [ "$(cat "$out/self-test-$run.rc")" = "$status" ] &&
        cmp -s <(printf '%s\n' "$line") "$out/self-test-$run.txt" && [ ! -s "$out/self-test-$run.err" ]; then
        pass "--self-test ${self_tests[i]}: \"$line\", exit status $status"
    else
        fail "--self-test ${self_tests[i]} (status $(cat "$out/self-test-$run.rc"), expected $status):"$'\n'"$(cat "$out/self-test-$run.txt" "$out/self-test-$run.err")"$'\n'"expected: $line"
    fi
done
# The self-test log's tests, counted from a --json reading of one disk.
self_test_count() {
    python3 -c 'import json, sys
drive = json.load(open(sys.argv[1]))["drives"][0]
print(len(drive["ata_smart_self_test_log"]["standard"]["table"]))' "$1" 2>/dev/null
}
before=$(self_test_count "$out/refused-before.json")
if [ "$(cat "$out/refused-self-test.rc")" = 2 ] && [ ! -s "$out/refused-self-test.txt" ] &&
    [ "$(cat "$out/refused-self-test.err")" = "vantrel-report: 9: not a disk of this machine" ] &&
    [ -n "$before" ] && [ "$before" = "$(self_test_count "$out/refused-after.json")" ]; then
    pass "--self-test short --device /dev/sdd --device 9: refused (exit status 2), sdd's self-test log still holds $before tests"
else
    fail "--self-test with a bad name (status $(cat "$out/refused-self-test.rc")): $(cat "$out/refused-self-test.txt" "$out/refused-self-test.err"); sdd's tests before: ${before:-none}, after: $(self_test_count "$out/refused-after.json")"
fi
if [ "$(cat "$out/upper.rc")" = 2 ] && [ ! -s "$out/upper.txt" ] &&
    [ "$(cat "$out/upper.err")" = "vantrel-report: /dev/SDD: not a disk of this machine" ]; then
    pass "--device /dev/SDD: names are exact on Linux (exit status 2)"
else
    fail "--device /dev/SDD (status $(cat "$out/upper.rc")): $(cat "$out/upper.txt" "$out/upper.err")"
fi

echo "== --compare against the live disk"
compare=$(cat "$out/compare.txt")
expect_line() {
    grep -qxF "$1" <<<"$compare" && pass "compare: $2" ||
        fail "compare: no line \"$1\" in"$'\n'"$compare"$'\n'"$(cat "$out/compare.err")"
}
[ "$(cat "$out/compare.rc")" = 0 ] && pass "compare exit status 0 (the live disk is GOOD)" ||
    fail "compare exit status $(cat "$out/compare.rc"): $(cat "$out/compare.err")"
expect_line "Now: the drive at position 3" "matched the live AHCI disk by model and serial"
expect_line "Health then: CAUTION: 2 pending sectors (C5)" "older verdict"
expect_line "Health now: GOOD" "newer verdict"
expect_line "Power-on count: 0 then, 1 now, 1 between the readings." "power-on count"
grep -qE '^4 +Start/Stop Count +101 -> 100 \(-1\) .* toward threshold$' <<<"$compare" &&
    pass "compare: the value that fell is flagged" || fail "compare: no flag on 4 in"$'\n'"$compare"
grep -qE '^C5 +Current Pending Sector Count +100 -> - .* vanished$' <<<"$compare" &&
    pass "compare: the vanished pending-sector count is flagged" ||
    fail "compare: no flag on C5 in"$'\n'"$compare"
expect_line "Start/Stop Count (4): value 101 -> 100, falling 1000.0 per 1,000 of the power-on count; at that rate roughly 80 of it left until its threshold 20." "projection"
# The same comparison replayed on the host, but for the two readings' names.
if [ "$("$report" --compare "$out/old-ahci.smart" "$ahci" | sed 2,3d)" = "$(sed 2,3d <<<"$compare")" ]; then
    pass "compare against the live disk equals the replay of its capture"
else
    fail "compare replayed on the host differs"
fi

echo "== the shipped rules, the dashboard and the public queries on the guest's metrics"
# A real Prometheus on these disks' metrics: every rule evaluates, every
# panel answers, and every public query answers for the disks its entry names.
if timeout -k 10 150 python3 scripts/test-prometheus-queries.py --rules docs/vantrel-alerts.yml \
    --dashboard docs/vantrel-dashboard.json --queries testing/prometheus/public-queries.yml \
    --metrics "qemu=$out/prometheus.txt" >"$work/queries.log" 2>&1; then
    pass "on the QEMU disks: $(grep -E '^(live|dashboard|public queries):' "$work/queries.log" | tr '\n' ';')"
else
    fail "rules, dashboard or public queries on the QEMU disks:"$'\n'"$(grep 'FAIL' "$work/queries.log" || tail -20 "$work/queries.log")"
fi

echo "== QEMU end-to-end: $failures failure(s), $(($(date +%s) - started))s in all"
[ "$failures" -eq 0 ]
