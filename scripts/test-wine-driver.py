#!/usr/bin/env python3
"""The shipped vantrel.exe end to end under Wine, on a SMART driver of our own.

The test driver (testing/wine_kernel) runs in Wine's kernel as a
demand-start service and serves real drive captures, ATA and NVMe, as
\\\\.\\SMARTVSD and \\\\.\\PhysicalDrive0-19. For every layout below the
unmodified product is started on the NT family's path and used as a user
would (ui-remote: the drive list, Get Info, the window text and every list
cell, Export through the save dialog), and:
  - the window and the exported files equal vantrel-report's replay of the
    same captures, byte for byte;
  - the driver's log holds exactly the requests the scan must send, worked
    out here from the protocol itself, and nothing else.
On the layout with a drive that is running a self-test, vantrel-report.exe
--self-test short also runs: its lines and exit status, and in the driver's
log one SMART EXECUTE OFF-LINE IMMEDIATE (short) to each drive that offers
it, after the scan's reads, and none to a disk in standby or to the drive
already testing.
On the Windows 9x path Wine lets the product open SMARTVSD but no request
through (see main); there the log and the no-drive behaviour are checked.
With the driver stopped, the program shows its no-drive behaviour.
The shipped vantrel-report.exe reads the same drives live through the real
Windows backend, past the window's four positions and NVMe drives (through
the storage property query) included: its report, --list, --health, --json
and --prometheus equal the native replay of the captures its scan reaches
(apart from the device names, checked on their own), and its --save captures
replay to the same report; the driver log then holds one scan per run.

Both architectures: the x86_64 driver with the x86_64 and the i686 program
in a 64-bit prefix, the i686 driver with the i686 program in a 32-bit one.

Usage: test-wine-driver.py SOURCE_DIR NATIVE_BUILD WIN64_BUILD [WIN32_BUILD]
Runs inside an X display (xvfb-run). Skips when the captures are absent.
Its prefixes and files go to SOURCE_DIR/build, or to VANTREL_DRIVER_TEST_DIR
when set (so that two runs on one machine keep apart).
"""
import difflib
import json
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import time

ALL = ("IDFY", "SMST", "SMDT", "SMTH")
NVME = ("NVID", "NVNS", "NVHL")


def sparse(drives, count):
    """Positions 0 to count - 1, the given ones filled."""
    return [drives.get(position) for position in range(count)]


# (what the layout shows, the NT family's Windows version, positions 0
#  upward: None for a gap, else (kind, capture, the capture's sections kept
#  [, the model an NVMe capture is given instead of its own]) [, the drive
#  list's names, where the layout is there for them]).
LAYOUTS = [
    ("a gap, two of one model, a packet device", "winxp", [
        ("ata", "FUJITSU_MHY2120BH--0084000D.smart", ALL),
        None,
        ("ata", "FUJITSU_MHY2120BH--0085000B.smart", ALL),
        ("packet", "SAMSUNG_MP0804H--UE100-14.smart", ALL),
    ]),
    # The SSD's self-assessment says FAILED (SMST 0).
    ("a gap first, a drive without SMART, one whose threshold read fails", "win10", [
        None,
        ("ata", "ST320410A--3.39.smart", ("IDFY",)),
        ("ata", "INTEL_SSDSA2CW120G3--4PC10302.smart", ALL + ("SMST=00000000",)),
        ("ata", "WDC_WD2500JS-75NCB3--10.02E04.smart", ("IDFY", "SMST", "SMDT")),
    ]),
    # The window keeps to the first four positions; the two of one model
    # are told apart only where both are listed.
    ("NVMe drives among ATA ones, one without namespace data, drives past the fourth", "win10", [
        ("nvme", "nvme/SAMSUNG_MZVL21T0HCLR-00B00--nvme.smart", NVME),
        ("ata", "FUJITSU_MHY2120BH--0085000B.smart", ALL),
        None,
        ("nvme", "nvme/INTEL_SSDPE2KX080T8--nvme.smart", NVME),
        ("ata", "ST9100821AS--3.CME.smart", ALL),
        None,
        ("nvme", "nvme/KXG60ZNV512G_TOSHIBA--nvme.smart", NVME),
        ("ata", "FUJITSU_MHY2120BH--0084000D.smart", ALL),
    ]),
    # Seven numbers in a row that do not open are passed over, the eighth
    # ends the scan: the drive behind it is not seen.
    ("gaps of seven and of eight drive numbers", "win10", sparse({
        0: ("ata", "INTEL_SSDSA2CW120G3--4PC10302.smart", ALL),
        8: ("nvme", "nvme/KXG60ZNV512G_TOSHIBA--nvme.smart", NVME),
        17: ("ata", "SAMSUNG_HD501LJ--CR100-12.smart", ALL),
    }, 18)),
    # Today's laptop: its one disk is NVMe.
    ("an NVMe drive alone", "win10", [
        ("nvme", "nvme/SAMSUNG_MZVL21T0HCLR-00B00--nvme.smart", NVME),
    ], ["SAMSUNG MZVL21T0HCLR-00B00"]),
    # vantrel-report asks each disk its power mode first and leaves the one
    # in standby asleep (read only with --wake); a failed question or an
    # idle disk is read as before. The window reads them all.
    # The idle disk also keeps an error log, a self-test log and a Device
    # Statistics log of eight pages ("LOGS"); the others answer no log
    # directory. The last one is running a self-test ("TESTING"), so
    # --self-test short runs here too: it starts one on the idle disk and on
    # the one whose question fails, on no other.
    ("a disk in standby, an idle one, one whose CHECK POWER MODE fails, one testing", "winxp", [
        ("ata", "SAMSUNG_HD501LJ--CR100-12.smart", ALL + ("PWRM=00000080", "LOGS")),
        ("ata", "ST9100821AS--3.CME.smart", ALL + ("PWRM=00000000",)),
        ("ata", "FUJITSU_MHY2250BH--0085000B.smart", ALL + ("PWRM=FFFFFFFF",)),
        ("ata", "WDC_WD2500JS-75NCB3--10.02E04.smart", ALL + ("TESTING",)),
    ]),
    # NVMe and ATA drives taking turns: the NVMe queries go to the NVMe
    # positions alone, the ATA drives read as before.
    ("NVMe drives at 0 and 2, ATA drives at 1 and 3", "win10", [
        ("nvme", "nvme/KXG60ZNV512G_TOSHIBA--nvme.smart", NVME),
        ("ata", "SAMSUNG_HD501LJ--CR100-12.smart", ALL),
        ("nvme", "nvme/INTEL_SSDPE2KX080T8--nvme.smart", NVME),
        ("ata", "WDC_WD2500JS-75NCB3--10.02E04.smart", ALL),
    ], ["KXG60ZNV512G TOSHIBA", "SAMSUNG HD501LJ", "INTEL SSDPE2KX080T8",
        "WDC WD2500JS-75NCB3"]),
    # Two NVMe drives of one model, the second refusing Identify Namespace,
    # behind a gap.
    ("two NVMe drives of one model, one without namespace data", "win10", [
        None,
        ("nvme", "nvme/KXG60ZNV512G_TOSHIBA--nvme.smart", NVME),
        ("nvme", "nvme/KXG60ZNV512G_TOSHIBA--nvme.smart", ("NVID", "NVHL")),
    ], ["KXG60ZNV512G TOSHIBA-1", "KXG60ZNV512G TOSHIBA-2"]),
    # An NVMe drive named as an ATA drive is: one suffix rule for both.
    ("an NVMe drive of an ATA drive's model", "win10", [
        ("ata", "FUJITSU_MHY2120BH--0085000B.smart", ALL),
        ("nvme", "nvme/SAMSUNG_MZVL21T0HCLR-00B00--nvme.smart", NVME, "FUJITSU MHY2120BH"),
    ], ["FUJITSU MHY2120BH-1", "FUJITSU MHY2120BH-2"]),
]
WINDOW_POSITIONS = 4
OPEN_GAP_LIMIT = 8  # numbers in a row that do not open, where a scan stops

SERVICE = "VantrelSmartTest"
SMART_GET_VERSION, SMART_SEND_DRIVE_COMMAND, SMART_RCV_DRIVE_DATA = 0x74080, 0x7C084, 0x7C088
STORAGE_QUERY_PROPERTY = 0x2D1400
ATA_PASS_THROUGH = 0x4D02C
SMART_EXECUTE_OFFLINE, SHORT_SELF_TEST = 0xD4, 0x01
LOGGED_INPUT = 64  # bytes of each request's input the driver logs

failures = []


def run(args, env, timeout=120, log=None):
    # Wine's services inherit standard output: never wait on a pipe.
    with open(log or os.devnull, "ab") as out:
        return subprocess.run(args, env=env, stdout=out, stderr=out, timeout=timeout).returncode


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def nt_path(path):
    return "\\??\\" + windows_path(path)


def sections(data):
    found = []
    offset = 0
    while offset + 8 <= len(data):
        length = struct.unpack(">I", data[offset + 4:offset + 8])[0]
        found.append((data[offset:offset + 4].decode("ascii", "replace"), data[offset:offset + 8 + length]))
        offset += 8 + length
    return found


def prepare_captures(layout, captures, work):
    """(kind, file, its sections) for each position, each capture cut down
    to the sections kept (and renamed where asked); (None, None, ()) for a
    gap."""
    drives = []
    for position, drive in enumerate(layout):
        if drive is None:
            drives.append((None, None, ()))
            continue
        kind, name, kept = drive[:3]
        with open(os.path.join(captures, name), "rb") as f:
            data = f.read()
        path = os.path.join(work, "%d-%s" % (position, os.path.basename(name)))
        written = [(tag, raw) for tag, raw in sections(data) if tag in kept]
        # CHECK POWER MODE's answer, as the driver is to give it; SMART
        # RETURN STATUS's in place of the capture's own.
        power = tuple(tag for tag in kept if tag.startswith("PWRM="))
        written += [("PWRM", b"PWRM" + struct.pack(">I", 4) + bytes.fromhex(tag[5:]))
                    for tag in power]
        for tag in kept:
            if tag.startswith("SMST="):
                written = [(t, raw if t != "SMST" else b"SMST" + struct.pack(">I", 4) +
                            bytes.fromhex(tag[5:])) for t, raw in written]
        if "LOGS" in kept:
            written += [(tag, tag.encode() + struct.pack(">I", len(block)) + block)
                        for tag, block in (("SMEL", ERROR_LOG), ("SMSL", SELF_TEST_LOG),
                                           ("SLDR", LOG_DIRECTORY), ("DVST", STATISTICS))]
        if len(drive) > 3:
            # Identify Controller's model, bytes 24-63, blank-padded.
            written = [(tag, raw[:32] + drive[3].encode().ljust(40) + raw[72:]
                        if tag == "NVID" else raw) for tag, raw in written]
        testing = tuple(tag for tag in kept if tag == "TESTING")
        if testing:
            # A self-test running with four tenths of it still to do: SMART
            # data byte 363 F4h, its checksum made whole again.
            written = [(tag, raw[:8] + sealed(raw[8:8 + 363] + b"\xF4" + raw[8 + 364:])
                        if tag == "SMDT" else raw) for tag, raw in written]
        with open(path, "wb") as f:
            f.write(b"".join(raw for _, raw in written))
        drives.append((kind, path, tuple(tag for tag, _ in written) + power + testing))
    return drives


def sealed(block):
    """A SMART log block whose 8-bit sum is 0."""
    return bytes(block[:511]) + bytes([-sum(block[:511]) & 0xFF])


# One uncorrectable error at LBA 4660 (ERROR 40h, the device register's
# LBA bits clear), 36208 hours; a short self-test that failed reading LBA
# 4660, then an extended one that passed.
ERROR_LOG = sealed(bytes([1, 1]) + bytes(60) + bytes([0, 0x40, 1, 0x34, 0x12, 0, 0xE0, 0x51]) +
                   bytes(20) + struct.pack("<H", 36208) + bytes(360) + struct.pack("<H", 1) +
                   bytes(58))
SELF_TEST_LOG = sealed(bytes([1, 0]) + struct.pack("<BBHBI", 1, 0x73, 7000, 0, 4660) + bytes(15) +
                       struct.pack("<BBHBI", 2, 0x00, 7042, 0, 0) + bytes(15) + bytes(458) +
                       bytes([2, 0, 0, 0]))


# A log directory listing the Device Statistics log with eight pages;
# pages 0 (listing 0, 1 and 7), 1 (logical sectors written) and 7 (the
# endurance used), the others empty.
STATISTICS_PAGES = 8
LOG_DIRECTORY = bytes([1, 0]) + bytes(6) + bytes([STATISTICS_PAGES]) + bytes(503)
STATISTICS = (bytes([1, 0, 0]) + bytes(5) + bytes([3, 0, 1, 7]) + bytes(500) +
              bytes([1, 0, 1]) + bytes(21) + struct.pack("<Q", 0xC0 << 56 | 123456) + bytes(480) +
              bytes(512 * 5) +
              bytes([1, 0, 7]) + bytes(5) + struct.pack("<Q", 0xC0 << 56 | 12) + bytes(496))


def smart_data(path):
    """A capture's SMART data (zeros without one) and IDENTIFY's feature
    words 84 and 87 ORed, each where valid."""
    with open(path, "rb") as f:
        found = {tag: raw[8:] for tag, raw in sections(f.read())}
    data, identify = found.get("SMDT", bytes(512)), found.get("IDFY", bytes(512))
    features = 0
    for word in (84, 87):
        value = identify[2 * word] | identify[2 * word + 1] << 8
        features |= value if value & 0xC000 == 0x4000 else 0
    return data, features


def keeps_logs(path):
    """Whether a drive says it keeps the summary error log and the self-test
    log: its SMART data's capabilities (bytes 370 and 367), or IDENTIFY's
    feature words 84 and 87 where valid."""
    data, features = smart_data(path)
    return bool(data[370] & 1 or features & 1), bool(data[367] & 0x10 or features & 2)


def self_test_state(path):
    """What a drive says of its short self-test: whether it offers it
    (EXECUTE OFF-LINE IMMEDIATE, byte 367 bit 0, and self-tests, bit 4 or
    words 84/87 bit 1), the percent still to do of one running (byte 363:
    Fh in bits 7:4, tenths in bits 3:0; None when none runs) and its polling
    time in minutes (byte 372)."""
    data, features = smart_data(path)
    offered = bool(data[367] & 1) and bool(data[367] & 0x10 or features & 2)
    remaining = 10 * (data[363] & 0x0F) if data[363] >> 4 == 0xF else None
    return offered, remaining, data[372]


def in_standby(tags):
    """Whether CHECK POWER MODE answers standby (count 00h or 01h)."""
    power = next((int(tag[5:], 16) for tag in tags if tag.startswith("PWRM=")), 0xFF)
    return power != 0xFFFFFFFF and (power & 0xFF) in (0, 1)


def reached(drives, window):
    """The positions a scan reaches: the window's four; vantrel-report's up
    to the last drive before eight numbers in a row that do not open."""
    if window:
        return drives[:WINDOW_POSITIONS]
    seen, gap = [], 0
    for position, drive in enumerate(drives):
        gap = gap + 1 if drive[1] is None else 0
        if gap == OPEN_GAP_LIMIT:
            break
        if drive[1] is not None:
            seen = drives[:position + 1]
    return seen


def replayed(drives, window):
    """vantrel-report's arguments for what a scan shows, ATA and NVMe
    drives. A packet device has no name and no report, so it is left out
    ("-") as a gap is."""
    return [path if kind in ("ata", "nvme") else "-" for kind, path, _ in reached(drives, window)]


# The command record as the scan must send it: cBufferSize, the
# eight IDEREGS bytes, bDriveNumber, zeros up to 32 bytes.
def record(buffer_size, features, cyl_low, cyl_high, command, position, sector=1, count=1):
    regs = bytes([features, count, sector, cyl_low, cyl_high, 0xA0 | ((position & 1) << 4),
                  command, 0])
    return struct.pack("<I", buffer_size) + regs + bytes([position]) + bytes(19)


def request(device, code, data, out_length, ok, returned):
    line = "%s ioctl=%08X in=%d out=%d bytes=%s" % (device, code, len(data), out_length,
                                                     data[:LOGGED_INPUT].hex().upper())
    return line + (" ok returned=%d" % returned if ok else " failed")


# STORAGE_PROPERTY_QUERY with its STORAGE_PROTOCOL_SPECIFIC_DATA (ProtocolType
# NVMe, the data right after the 40-byte record) and room for the data, as
# the NVMe driver of Windows 10 takes it; the reply has the same layout.
def nvme_query(property_id, data_type, value, sub_value, length):
    record = struct.pack("<6I", 3, data_type, value, sub_value, 40, length) + bytes(16)
    return struct.pack("<II", property_id, 0) + record + bytes(length)


def nvme_requests(device, tags):
    """Identify Controller, Identify Namespace 1, the health log."""
    lines = []
    for property_id, data_type, value, sub_value, length, tag in (
            (49, 1, 1, 0, 4096, "NVID"), (50, 1, 0, 1, 4096, "NVNS"), (49, 2, 2, 0, 512, "NVHL")):
        query = nvme_query(property_id, data_type, value, sub_value, length)
        lines.append(request(device, STORAGE_QUERY_PROPERTY, query, len(query), tag in tags,
                             len(query)))
    return lines


def power_question(pointer_size):
    """ATA_PASS_THROUGH_EX asking CHECK POWER MODE: its DataBufferOffset is
    pointer-sized, so the record is 40 bytes in a 32-bit program, 48 in a
    64-bit one."""
    head = struct.pack("<HH4xIII", 32 + 2 * pointer_size, 1, 0, 10, 0)
    offset = struct.pack("<4xQ" if pointer_size == 8 else "<I", 0)
    return head + offset + bytes(8) + bytes([0, 0, 0, 0, 0, 0xA0, 0xE5, 0])


def expected_log(drives, window, pointer_size=8, wake=False, self_test=False):
    """Every request the NT family's scan sends to this layout, in order:
    the window's or vantrel-report's, both of which ask a drive that gave
    no IDENTIFY for NVMe data, and no other. vantrel-report first asks each
    disk CHECK POWER MODE, and sends one in standby nothing more unless it
    is to wake it; under --self-test short it then starts the routine on
    each drive whose SMART data offers it and says none runs, once its
    reads are done."""
    lines = []
    for p, (kind, path, tags) in enumerate(reached(drives, window)):
        if path is None:
            continue  # no device there: the open fails before reaching a driver
        device = "PhysicalDrive%d" % p
        lines.append(device + " open share=3")
        if not window:
            power = next((int(tag[5:], 16) for tag in tags if tag.startswith("PWRM=")), 0xFF)
            answers = kind != "nvme" and power != 0xFFFFFFFF
            question = power_question(pointer_size)
            lines.append(request(device, ATA_PASS_THROUGH, question, len(question), answers,
                                 len(question)))
            if answers and in_standby(tags) and not wake:
                lines.append(device + " close")
                continue
        if kind == "nvme":
            # The NVMe driver answers none of the SMART controls.
            lines.append(request(device, SMART_GET_VERSION, b"", 24, False, 0))
            lines += nvme_requests(device, tags)
            lines.append(device + " close")
            continue
        ata = kind == "ata"
        lines.append(request(device, SMART_GET_VERSION, b"", 24, True, 24))
        enabled = ata and "SMDT" in tags
        if ata:
            lines.append(request(device, SMART_SEND_DRIVE_COMMAND,
                                 record(0, 0xD8, 0x4F, 0xC2, 0xB0, p), 16, enabled, 16))
        command = 0xEC if ata else 0xA1
        lines.append(request(device, SMART_RCV_DRIVE_DATA, record(512, 0, 0, 0, command, p), 528,
                             True, 528))
        if enabled:
            lines.append(request(device, SMART_RCV_DRIVE_DATA,
                                 record(512, 0xD0, 0x4F, 0xC2, 0xB0, p), 528, True, 528))
            lines.append(request(device, SMART_RCV_DRIVE_DATA,
                                 record(512, 0xD1, 0x4F, 0xC2, 0xB0, p), 528, "SMTH" in tags, 528))
            # vantrel-report then reads the logs the drive says it keeps.
            for log, kept, tag in zip((1, 6), keeps_logs(path) if not window else (), ("SMEL", "SMSL")):
                if kept:
                    lines.append(request(device, SMART_RCV_DRIVE_DATA,
                                         record(512, 0xD5, 0x4F, 0xC2, 0xB0, p, log), 528,
                                         tag in tags, 528))
            if not window:
                # The log directory, and the Device Statistics pages it lists.
                lines.append(request(device, SMART_RCV_DRIVE_DATA,
                                     record(512, 0xD5, 0x4F, 0xC2, 0xB0, p, 0), 528,
                                     "SLDR" in tags, 528))
                if "SLDR" in tags:
                    size = 512 * STATISTICS_PAGES
                    lines.append(request(device, SMART_RCV_DRIVE_DATA,
                                         record(size, 0xD5, 0x4F, 0xC2, 0xB0, p, 4,
                                                STATISTICS_PAGES),
                                         16 + size, "DVST" in tags, 16 + size))
                # Then the drive's own verdict, answered from its SMST.
                lines.append(request(device, SMART_SEND_DRIVE_COMMAND,
                                     record(0, 0xDA, 0x4F, 0xC2, 0xB0, p), 24, "SMST" in tags, 24))
            offered, remaining, _ = self_test_state(path)
            if self_test and offered and remaining is None:
                lines.append(request(device, SMART_SEND_DRIVE_COMMAND,
                                     record(0, SMART_EXECUTE_OFFLINE, 0x4F, 0xC2, 0xB0, p,
                                            SHORT_SELF_TEST), 16, True, 16))
        lines.append(device + " close")
    return lines


def as_text(value):
    """What check shows of a value: bytes, a number or a list, one item a
    line (a list of names, say)."""
    if isinstance(value, bytes):
        return value.decode("latin-1")
    if isinstance(value, list):
        return "".join("%s\n" % item for item in value)
    return str(value)


def check(what, expected, actual):
    if expected == actual:
        return
    expected, actual = as_text(expected), as_text(actual)
    diff = difflib.unified_diff(expected.splitlines(True), actual.splitlines(True),
                                "expected", "actual", n=1)
    failures.append(what)
    print("FAIL: %s\n%s" % (what, "".join(list(diff)[:40])), flush=True)


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return b"(missing)"


class Prefix:
    """A Wine prefix with the test driver installed as a demand-start service."""

    def __init__(self, path, arch, work):
        self.env = dict(os.environ, WINEPREFIX=os.path.abspath(path), WINEDEBUG="-all")
        if arch == "win32":
            self.env["WINEARCH"] = "win32"
        self.work = work
        self.wine_log = os.path.join(work, "wine.log")
        self.driver_log = os.path.join(work, "driver.log")
        self.path = path

    def install(self, driver):
        """The prefix made if new, the driver copied in and registered."""
        path = self.path
        if not os.path.isdir(path):
            run(["wineboot", "-i"], self.env, 300, self.wine_log)
            run(["wineserver", "-w"], self.env, 300, self.wine_log)
        shutil.copy(driver, os.path.join(path, "drive_c/windows/system32/drivers/vantrelsmarttest.sys"))
        key = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\" + SERVICE
        # Registered with the server down, so that the service manager reads
        # the record at its start; the bitness follows the driver's own.
        self.regedit([
            "[%s]" % key,
            '"Type"=dword:00000001',
            '"Start"=dword:00000003',
            '"ErrorControl"=dword:00000001',
            '"ImagePath"="\\\\SystemRoot\\\\System32\\\\drivers\\\\vantrelsmarttest.sys"',
            # Without a window manager on the virtual display, Wine waits two
            # seconds for every closed window that it let one manage.
            "[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]",
            '"Managed"="N"',
        ])
        run(["wineserver", "-k"], self.env, 60)
        run(["wineserver", "-w"], self.env, 60)
        # The service lives only as long as the Wine session.
        run(["wineserver", "-p"], self.env, 60)

    def regedit(self, lines):
        path = os.path.join(self.work, "settings.reg")
        with open(path, "w") as f:
            f.write("REGEDIT4\n\n" + "\n".join(lines) + "\n")
        run(["wine", "regedit", "/S", path], self.env, 120, self.wine_log)

    def start_driver(self, drives):
        key = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\%s\\Parameters" % SERVICE
        lines = ["[-%s]" % key, "[%s]" % key, '"Log"="%s"' % nt_path(self.driver_log).replace("\\", "\\\\")]
        for position, (kind, path, _) in enumerate(drives):
            if path:
                name = "Packet%d" if kind == "packet" else "Drive%d"
                lines.append('"%s"="%s"' % (name % position, nt_path(path).replace("\\", "\\\\")))
        self.regedit(lines)
        if os.path.exists(self.driver_log):
            os.remove(self.driver_log)
        # The driver logs its unload before the service manager has marked
        # the service stopped: a start right after a stop can be refused
        # for a moment.
        for _ in range(10):
            if run(["wine", "sc", "start", SERVICE], self.env, 120, self.wine_log) == 0:
                break
            time.sleep(1)
        else:
            failures.append("driver start")
            print("FAIL: the driver did not start:\n" + read(self.driver_log).decode(), flush=True)
            return False
        return True

    def stop_driver(self):
        run(["wine", "sc", "stop", SERVICE], self.env, 120, self.wine_log)
        for _ in range(100):
            if read(self.driver_log).endswith(b"unload\n"):
                return
            time.sleep(0.1)

    def requests(self):
        lines = read(self.driver_log).decode("latin-1").splitlines()
        return [line for line in lines if line not in ("loaded", "unload")]

    def set_version(self, version):
        self.regedit(["[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\vantrel.exe]",
                      '"Version"="%s"' % version])

    def close(self):
        run(["wineserver", "-k"], self.env, 60)


class Product:
    """The shipped program, running, and the remote that works its window."""

    def __init__(self, prefix, exe, remote):
        self.prefix = prefix
        self.remote = remote
        with open(prefix.wine_log, "ab") as out:
            self.process = subprocess.Popen(["wine", exe], env=prefix.env, stdout=out, stderr=out)

    def __call__(self, *args):
        return run(["wine", self.remote] + list(args), self.prefix.env, 120, self.prefix.wine_log)

    def exit(self):
        self("exit")
        try:
            return self.process.wait(60)
        except subprocess.TimeoutExpired:
            self.process.kill()
            failures.append("exit")
            return None


def report(tool, files, mode, wake=False):
    args = [tool] + ([mode] if mode else []) + (["--wake"] if wake else []) + files
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)


def without_device(document):
    """A --json or --prometheus document with each drive's device name left
    out: the one thing a live read and a replay tell differently."""
    document = re.sub(rb'("device": \{\n +"name": )"(?:[^"\\]|\\.)*"', rb'\1""', document)
    return re.sub(rb'device="(?:[^"\\]|\\.)*"', b'device=""', document)


def check_report_exe(prefix, report_exe, tool, what, drives, out):
    """vantrel-report.exe reading the driver live: the same report, drive
    list, health lines, JSON and metrics as the native replay of what its
    scan reaches, and --save captures that replay to the same report.
    Returns how many scans it ran."""
    def live(*args, status=0):
        path = os.path.join(out, "report-%d" % len(os.listdir(out)))
        with open(path + ".out", "wb") as stdout, open(path + ".err", "wb") as stderr:
            returned = subprocess.run(["wine", report_exe] + list(args), env=prefix.env,
                                      stdout=stdout, stderr=stderr, timeout=120).returncode
        check("%s: vantrel-report.exe %s: exit status" % (what, " ".join(args)), status, returned)
        return read(path + ".out"), read(path + ".err")

    files = replayed(drives, False)

    def named_live(text):
        """A replay's text with each capture's name (a disk left asleep is
        named by its device) as the live run names the disk."""
        for position, path in enumerate(files):
            if path != "-":
                text = text.replace(os.path.basename(path).encode(),
                                    b"\\\\.\\PhysicalDrive%d" % position)
        return text

    scans = 0
    for mode in (None, "--list", "--health"):
        scans += 1
        # --health's status tells the worst verdict: the replay's is due.
        replay = report(tool, files, mode)
        check("%s: vantrel-report.exe %s" % (what, mode or "(report)"), named_live(replay.stdout),
              live(*([mode] if mode else []), status=replay.returncode)[0])
    listed = [p for p, path in enumerate(files) if path != "-"]
    json_live = live("--json")[0]
    try:
        names = [d["device"]["name"] for d in json.loads(json_live)["drives"]]
    except ValueError:
        names = None
    check(what + ": --json device names", ["\\\\.\\PhysicalDrive%d" % p for p in listed], names)
    check(what + ": --json", without_device(report(tool, files, "--json").stdout),
          without_device(json_live))
    # A packet device is found but cannot be replayed: the drives found are
    # checked against the layout instead.
    present = sum(1 for _, path, _ in reached(drives, False) if path)
    prometheus_live = live("--prometheus")[0]
    check(what + ": --prometheus drives found", ["vantrel_scan_drives %d" % present],
          re.findall(r"(?m)^vantrel_scan_drives \d+$", prometheus_live.decode("latin-1")))
    check(what + ": --prometheus",
          without_device(re.sub(rb"(?m)^vantrel_scan_drives \d+$", b"",
                                report(tool, files, "--prometheus").stdout)),
          without_device(re.sub(rb"(?m)^vantrel_scan_drives \d+$", b"", prometheus_live)))
    saved = os.path.join(out, "saved")
    os.makedirs(saved)
    told = live("--save", windows_path(saved))[1].decode("latin-1")
    scans += 3
    # "saved Z:\...\NAME.smart", one line per listed drive, in list order.
    paths = [os.path.join(saved, re.split(r"[\\/]", line)[-1])
             for line in told.splitlines() if line.startswith("vantrel-report: saved ")]
    replay = ["-"] * len(files)
    # A disk left asleep is not saved: its place is taken by its capture.
    asleep = [p for p in listed if any(tag in ("PWRM=00000000", "PWRM=00000001")
                                       for tag in drives[p][2])]
    check(what + ": --save captures", len(listed) - len(asleep), len(paths))
    for position, path in zip([p for p in listed if p not in asleep], paths):
        replay[position] = path
    for position in asleep:
        replay[position] = files[position]
    check(what + ": --save captures replayed", report(tool, files, None).stdout,
          subprocess.run([tool] + replay, stdout=subprocess.PIPE, timeout=60).stdout)
    # Woken, every disk is read: the last scan.
    check(what + ": vantrel-report.exe --wake --list", report(tool, files, "--list", True).stdout,
          live("--wake", "--list")[0])
    return scans


def self_test_lines(drives):
    """vantrel-report.exe --self-test short's line for each drive its scan
    lists, in position order: the ATA drives here (a packet device has no
    name and is not listed)."""
    lines = b""
    for p, (kind, path, tags) in enumerate(reached(drives, False)):
        if kind != "ata":
            continue
        offered, remaining, minutes = self_test_state(path)
        head = "\\\\.\\PhysicalDrive%d: " % p
        if in_standby(tags):
            line = "not started: in standby (--wake starts it anyway)"
        elif not offered:
            line = "not started: the drive offers no self-test"
        elif remaining is not None:
            line = "not started: a self-test is running, %d%% remaining" % remaining
        else:
            line = "short self-test started (about %d minute%s)" % (minutes,
                                                                 "" if minutes == 1 else "s")
        lines += (head + line + "\n").encode()
    return lines


def check_self_test(prefix, report_exe, what, drives, out):
    """vantrel-report.exe --self-test short on the live drives: its lines,
    nothing on standard error, exit status 0 (every drive took the command
    sent to it). The driver's log is checked with the scans'."""
    path = os.path.join(out, "self-test")
    with open(path + ".out", "wb") as stdout, open(path + ".err", "wb") as stderr:
        returned = subprocess.run(["wine", report_exe, "--self-test", "short"], env=prefix.env,
                                  stdout=stdout, stderr=stderr, timeout=120).returncode
    check(what + ": vantrel-report.exe --self-test short: exit status", 0, returned)
    check(what + ": vantrel-report.exe --self-test short", self_test_lines(drives),
          read(path + ".out"))
    check(what + ": vantrel-report.exe --self-test short: standard error", b"", read(path + ".err"))


def check_layout(prefix, exe, remote, report_exe, tool, name, drives, version, names_due, out):
    what = "%s, %s" % (name, version)
    prefix.set_version(version)
    if not prefix.start_driver(drives):
        return
    product = Product(prefix, exe, remote)
    listed = os.path.join(out, "list.txt")
    product("list", windows_path(listed))
    names = read(listed)
    # The window reads every drive, sleeping or not: vantrel-report's
    # replay then wakes them too.
    shown_files = replayed(drives, True)
    check(what + ": drive list", report(tool, shown_files, "--list", True).stdout, names)
    if names_due is not None:
        check(what + ": drive list's names", names_due, names.decode("latin-1").splitlines())
    window, export = b"", b""
    for index in range(len(names.splitlines())):
        shown = os.path.join(out, "window-%d.txt" % index)
        saved = os.path.join(out, "export-%d.txt" % index)
        product("show", str(index), windows_path(shown))
        product("export", windows_path(saved))
        window += read(shown)
        export += read(saved)
    check(what + ": exit code", 0, product.exit())
    check(what + ": window", report(tool, shown_files, "--window", True).stdout, window)
    check(what + ": export", report(tool, shown_files, None, True).stdout, export)
    scans = check_report_exe(prefix, report_exe, tool, what, drives, out)
    self_test = any("TESTING" in tags for _, _, tags in drives)
    if self_test:
        check_self_test(prefix, report_exe, what, drives, out)
    prefix.stop_driver()
    pointer_size = 4 if "win32" in report_exe.split(os.sep) else 8
    check(what + ": driver log",
          "\n".join(expected_log(drives, True) +
                    expected_log(drives, False, pointer_size) * scans +
                    expected_log(drives, False, pointer_size, wake=True) +
                    (expected_log(drives, False, pointer_size, self_test=True)
                     if self_test else [])),
          "\n".join(prefix.requests()))


def check_no_drive(prefix, exe, remote, tool, what, version, log, out):
    """The start-up warning, the disabled drive list and buttons, and the
    requests the driver saw (if it runs)."""
    prefix.set_version(version)
    product = Product(prefix, exe, remote)
    seen = os.path.join(out, "nodrive.txt")
    product("nodrive", windows_path(seen))
    check(what + ": exit code", 0, product.exit())
    message = report(tool, ["-"] * WINDOW_POSITIONS, None).stderr
    expected = b"Warning: " + message + b"No drives found\n1002 off\n1005 off\n3 off\n"
    check(what + ": warning, drive list and controls", expected, read(seen))
    if log is not None:
        prefix.stop_driver()
        check(what + ": driver log", "\n".join(log), "\n".join(prefix.requests()))


def main():
    # A time limit's SIGTERM still ends Wine's session (the finally below).
    signal.signal(signal.SIGTERM, lambda number, frame: sys.exit("test-wine-driver: terminated"))
    source, native, win64 = sys.argv[1:4]
    win32 = sys.argv[4] if len(sys.argv) > 4 else None
    captures_dir = os.path.join(source, "..", "shared", "captures")
    if not os.path.isdir(captures_dir):
        print("test-wine-driver: skipped, no real drive captures in %s" % captures_dir)
        return 0
    tool = os.path.join(native, "cli/vantrel-report")
    root = os.environ.get("VANTREL_DRIVER_TEST_DIR") or os.path.join(source, "build")
    work = os.path.join(root, "wine-driver-test")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)

    def build(root, arch):
        return (os.path.join(root, "ui/vantrel.exe"),
                os.path.join(root, "testing/ui-remote/ui-remote.exe"),
                os.path.join(root, "testing/wine_kernel/vantrel-smart-test.sys"), arch,
                os.path.join(root, "cli/vantrel-report.exe"))

    # (prefix, driver build, product builds run on it)
    runs = [("win64", build(win64, "win64"), [build(win64, "win64")])]
    # The caller leaves the i686 build out where 32-bit Wine is missing, and
    # says so; given one, its runs are due.
    if win32 and not os.path.isdir("/usr/lib/i386-linux-gnu/wine"):
        print("test-wine-driver: an i686 build to run, but no 32-bit Wine (Debian's wine32:i386)")
        return 1
    if win32:
        # 32-bit programs on the 64-bit kernel (WoW64), and a 32-bit Wine
        # with the 32-bit driver.
        runs[0][2].append(build(win32, "win32"))
        runs.append(("win32", build(win32, "win32"), [build(win32, "win32")]))
    started = time.time()
    for prefix_arch, driver_build, products in runs:
        prefix_dir = os.path.join(root, "wineprefix-driver-" + prefix_arch)
        prefix = Prefix(prefix_dir, prefix_arch, work)
        try:
            prefix.install(driver_build[2])
            for exe, remote, _, exe_arch, report_exe in products:
                print("== %s vantrel.exe on the %s driver" % (exe_arch, prefix_arch), flush=True)
                for number, (name, version, layout, *names) in enumerate(LAYOUTS):
                    out = os.path.join(work, "%s-%s-%d" % (prefix_arch, exe_arch, number))
                    os.makedirs(out)
                    drives = prepare_captures(layout, captures_dir, out)
                    check_layout(prefix, exe, remote, report_exe, tool, name, drives, version,
                                 (names or [None])[0], out)
                # The Windows 9x path opens SMARTVSD with no access rights, and
                # Wine's server checks a control code's access bits against the
                # handle before any driver sees the request: the version query
                # fails, so the scan closes the device and finds no drive. The
                # last layout puts an NVMe drive among the window's four
                # positions, which the NT path would query: this one sends no
                # storage query at all.
                out = os.path.join(work, "%s-%s-win98" % (prefix_arch, exe_arch))
                os.makedirs(out)
                check("win98: an NVMe drive within the window's positions", True,
                      any(kind == "nvme" for kind, _, _ in drives[:WINDOW_POSITIONS]))
                if prefix.start_driver(drives):
                    check_no_drive(prefix, exe, remote, tool, "win98", "win98",
                                   ["SMARTVSD open share=0", "SMARTVSD close"], out)
                # The driver stopped: no SMART device at all (it took
                # PhysicalDrive0 over from Wine's mount manager for the session).
                for version in ("win98", "winxp"):
                    out = os.path.join(work, "%s-%s-stopped-%s" % (prefix_arch, exe_arch, version))
                    os.makedirs(out)
                    check_no_drive(prefix, exe, remote, tool, "driver stopped, " + version,
                                   version, None, out)
        finally:
            prefix.close()
    print("test-wine-driver: %d failure(s) in %.0f s" % (len(failures), time.time() - started))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
