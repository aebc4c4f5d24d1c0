#!/usr/bin/env python3
"""The shipped vantrel.exe end to end under Wine, on a SMART driver of our own.

The test driver (testing/wine_kernel) runs in Wine's kernel as a
demand-start service and serves real drive captures as \\\\.\\SMARTVSD and
\\\\.\\PhysicalDrive0-3. For every layout below the unmodified product is
started on the NT family's path and used as a user would (ui-remote: the
drive list, Get Info, the window text and every list cell, Export through the
save dialog), and:
  - the window and the exported files equal vantrel-report's replay of the
    same captures, byte for byte;
  - the driver's log holds exactly the requests the scan must send, worked
    out here from the protocol itself, and nothing else.
On the Windows 9x path Wine lets the product open SMARTVSD but no request
through (see main); there the log and the no-drive behaviour are checked.
With the driver stopped, the program shows its no-drive behaviour.
The shipped vantrel-report.exe reads the same drives live through the real
Windows backend: its report, --json and --prometheus equal the native replay
(apart from the device names, checked on their own), and its --save captures
replay to the same report; the driver log then holds one scan per run.

Both architectures: the x86_64 driver with the x86_64 and the i686 program
in a 64-bit prefix, the i686 driver with the i686 program in a 32-bit one.

Usage: test-wine-driver.py SOURCE_DIR NATIVE_BUILD WIN64_BUILD [WIN32_BUILD]
Runs inside an X display (xvfb-run). Skips when the captures are absent.
"""
import difflib
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import time

ALL = ("IDFY", "SMST", "SMDT", "SMTH")

# (what the layout shows, the NT family's Windows version, positions 0 to 3:
#  None for a gap, else (kind, capture, the capture's sections kept)).
LAYOUTS = [
    ("a gap, two of one model, a packet device", "winxp", [
        ("ata", "FUJITSU_MHY2120BH--0084000D.smart", ALL),
        None,
        ("ata", "FUJITSU_MHY2120BH--0085000B.smart", ALL),
        ("packet", "SAMSUNG_MP0804H--UE100-14.smart", ALL),
    ]),
    ("a gap first, a drive without SMART, one whose threshold read fails", "win10", [
        None,
        ("ata", "ST320410A--3.39.smart", ("IDFY",)),
        ("ata", "INTEL_SSDSA2CW120G3--4PC10302.smart", ALL),
        ("ata", "WDC_WD2500JS-75NCB3--10.02E04.smart", ("IDFY", "SMST", "SMDT")),
    ]),
]

SERVICE = "VantrelSmartTest"
SMART_GET_VERSION, SMART_SEND_DRIVE_COMMAND, SMART_RCV_DRIVE_DATA = 0x74080, 0x7C084, 0x7C088

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
    """The capture file for each position, cut down to the sections kept."""
    paths = []
    for position, drive in enumerate(layout):
        if drive is None:
            paths.append(None)
            continue
        kind, name, kept = drive
        with open(os.path.join(captures, name), "rb") as f:
            data = f.read()
        path = os.path.join(work, "%d-%s" % (position, name))
        with open(path, "wb") as f:
            f.write(b"".join(raw for tag, raw in sections(data) if tag in kept))
        paths.append(path)
    return paths


# The command record as the scan must send it: cBufferSize, the
# eight IDEREGS bytes, bDriveNumber, zeros up to 32 bytes.
def record(buffer_size, features, cyl_low, cyl_high, command, position):
    regs = bytes([features, 1, 1, cyl_low, cyl_high, 0xA0 | ((position & 1) << 4), command, 0])
    return struct.pack("<I", buffer_size) + regs + bytes([position]) + bytes(19)


def request(device, code, data, out_length, ok, returned):
    line = "%s ioctl=%08X in=%d out=%d bytes=%s" % (device, code, len(data), out_length,
                                                     data.hex().upper())
    return line + (" ok returned=%d" % returned if ok else " failed")


def expected_log(layout):
    """Every request the NT family's scan sends to this layout, in order."""
    def has(position, tag):
        return tag in layout[position][2]

    lines = []
    for p in range(4):
        if layout[p] is None:
            continue  # no device there: the open fails before reaching a driver
        device = "PhysicalDrive%d" % p
        ata = layout[p][0] == "ata"
        lines += [device + " open share=3", request(device, SMART_GET_VERSION, b"", 24, True, 24)]
        enabled = ata and has(p, "SMDT")
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
                                 record(512, 0xD1, 0x4F, 0xC2, 0xB0, p), 528, has(p, "SMTH"), 528))
        lines.append(device + " close")
    return lines


def check(what, expected, actual):
    if expected == actual:
        return
    if isinstance(expected, int):
        expected, actual = str(expected), str(actual)
    if isinstance(expected, bytes):
        expected = expected.decode("latin-1")
        actual = actual.decode("latin-1")
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

    def __init__(self, path, arch, driver, work):
        self.env = dict(os.environ, WINEPREFIX=os.path.abspath(path), WINEDEBUG="-all")
        if arch == "win32":
            self.env["WINEARCH"] = "win32"
        self.work = work
        self.wine_log = os.path.join(work, "wine.log")
        self.driver_log = os.path.join(work, "driver.log")
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

    def start_driver(self, captures):
        key = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\%s\\Parameters" % SERVICE
        lines = ["[-%s]" % key, "[%s]" % key, '"Log"="%s"' % nt_path(self.driver_log).replace("\\", "\\\\")]
        for position, (kind, path) in enumerate(captures):
            if path:
                name = "Drive%d" if kind == "ata" else "Packet%d"
                lines.append('"%s"="%s"' % (name % position, nt_path(path).replace("\\", "\\\\")))
        self.regedit(lines)
        if os.path.exists(self.driver_log):
            os.remove(self.driver_log)
        if run(["wine", "sc", "start", SERVICE], self.env, 120, self.wine_log) != 0:
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


def report(tool, captures, mode):
    args = [tool] + ([mode] if mode else [])
    # A packet device has no name and no report: the replay leaves it out.
    args += [path if path and kind == "ata" else "-" for kind, path in captures]
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)


def without_device(document):
    """A --json or --prometheus document with each drive's device name left
    out: the one thing a live read and a replay tell differently."""
    document = re.sub(rb'(?m)^(        "name": )"(?:[^"\\]|\\.)*",$', rb'\1"",', document)
    return re.sub(rb'device="(?:[^"\\]|\\.)*"', b'device=""', document)


def check_report_exe(prefix, report_exe, tool, what, captures, out):
    """vantrel-report.exe reading the driver live: the same report, JSON and
    metrics as the native replay, and --save captures that replay to the same
    report. Returns how many scans it ran."""
    def live(*args):
        path = os.path.join(out, "report-%d" % len(os.listdir(out)))
        with open(path + ".out", "wb") as stdout, open(path + ".err", "wb") as stderr:
            status = subprocess.run(["wine", report_exe] + list(args), env=prefix.env,
                                    stdout=stdout, stderr=stderr, timeout=120).returncode
        check("%s: vantrel-report.exe %s: exit status" % (what, " ".join(args)), 0, status)
        return read(path + ".out"), read(path + ".err")

    check(what + ": vantrel-report.exe", report(tool, captures, None).stdout, live()[0])
    listed = [p for p, (kind, path) in enumerate(captures) if path and kind == "ata"]
    json_live = live("--json")[0]
    try:
        names = [d["device"]["name"] for d in json.loads(json_live)["drives"]]
    except ValueError:
        names = None
    check(what + ": --json device names", ["\\\\.\\PhysicalDrive%d" % p for p in listed], names)
    check(what + ": --json", without_device(report(tool, captures, "--json").stdout),
          without_device(json_live))
    # A packet device is found but cannot be replayed: the drives found are
    # checked against the layout instead.
    present = sum(1 for _, path in captures if path)
    prometheus_live = live("--prometheus")[0]
    check(what + ": --prometheus drives found", ["vantrel_scan_drives %d" % present],
          re.findall(r"(?m)^vantrel_scan_drives \d+$", prometheus_live.decode("latin-1")))
    check(what + ": --prometheus",
          without_device(re.sub(rb"(?m)^vantrel_scan_drives \d+$", b"",
                                report(tool, captures, "--prometheus").stdout)),
          without_device(re.sub(rb"(?m)^vantrel_scan_drives \d+$", b"", prometheus_live)))
    saved = os.path.join(out, "saved")
    os.makedirs(saved)
    told = live("--save", windows_path(saved))[1].decode("latin-1")
    # "saved Z:\...\NAME.smart", one line per listed drive, in list order.
    paths = [os.path.join(saved, re.split(r"[\\/]", line)[-1])
             for line in told.splitlines() if line.startswith("vantrel-report: saved ")]
    replay = ["-"] * len(captures)
    for position, path in zip(listed, paths):
        replay[position] = path
    check(what + ": --save captures", len(listed), len(paths))
    check(what + ": --save captures replayed", report(tool, captures, None).stdout,
          subprocess.run([tool] + replay, stdout=subprocess.PIPE, timeout=60).stdout)
    return 4


def check_layout(prefix, exe, remote, report_exe, tool, name, layout, captures, version, out):
    what = "%s, %s" % (name, version)
    prefix.set_version(version)
    if not prefix.start_driver(captures):
        return
    product = Product(prefix, exe, remote)
    listed = os.path.join(out, "list.txt")
    product("list", windows_path(listed))
    names = read(listed)
    check(what + ": drive list", report(tool, captures, "--list").stdout, names)
    window, export = b"", b""
    for index in range(len(names.splitlines())):
        shown = os.path.join(out, "window-%d.txt" % index)
        saved = os.path.join(out, "export-%d.txt" % index)
        product("show", str(index), windows_path(shown))
        product("export", windows_path(saved))
        window += read(shown)
        export += read(saved)
    check(what + ": exit code", 0, product.exit())
    check(what + ": window", report(tool, captures, "--window").stdout, window)
    check(what + ": export", report(tool, captures, None).stdout, export)
    scans = 1 + check_report_exe(prefix, report_exe, tool, what, captures, out)
    prefix.stop_driver()
    check(what + ": driver log", "\n".join(expected_log(layout) * scans),
          "\n".join(prefix.requests()))


def check_no_drive(prefix, exe, remote, tool, what, version, log, out):
    """The start-up warning, the disabled drive list and buttons, and the
    requests the driver saw (if it runs)."""
    prefix.set_version(version)
    product = Product(prefix, exe, remote)
    seen = os.path.join(out, "nodrive.txt")
    product("nodrive", windows_path(seen))
    check(what + ": exit code", 0, product.exit())
    message = report(tool, [("ata", None)] * 4, None).stderr
    expected = b"Warning: " + message + b"No drives found\n1002 off\n1005 off\n3 off\n"
    check(what + ": warning, drive list and controls", expected, read(seen))
    if log is not None:
        prefix.stop_driver()
        check(what + ": driver log", "\n".join(log), "\n".join(prefix.requests()))


def main():
    source, native, win64 = sys.argv[1:4]
    win32 = sys.argv[4] if len(sys.argv) > 4 else None
    captures_dir = os.path.join(source, "..", "shared", "captures")
    if not os.path.isdir(captures_dir):
        print("test-wine-driver: skipped, no real drive captures in %s" % captures_dir)
        return 0
    tool = os.path.join(native, "tools/vantrel-report/vantrel-report")
    work = os.path.join(source, "build", "wine-driver-test")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)

    def build(root, arch):
        return (os.path.join(root, "ui/vantrel.exe"),
                os.path.join(root, "testing/ui-remote/ui-remote.exe"),
                os.path.join(root, "testing/wine_kernel/vantrel-smart-test.sys"), arch,
                os.path.join(root, "tools/vantrel-report/vantrel-report.exe"))

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
        prefix_dir = os.path.join(source, "build", "wineprefix-driver-" + prefix_arch)
        prefix = Prefix(prefix_dir, prefix_arch, driver_build[2], work)
        try:
            for exe, remote, _, exe_arch, report_exe in products:
                print("== %s vantrel.exe on the %s driver" % (exe_arch, prefix_arch), flush=True)
                for number, (name, version, layout) in enumerate(LAYOUTS):
                    out = os.path.join(work, "%s-%s-%d" % (prefix_arch, exe_arch, number))
                    os.makedirs(out)
                    paths = prepare_captures(layout, captures_dir, out)
                    captures = [(d[0] if d else "ata", path) for d, path in zip(layout, paths)]
                    check_layout(prefix, exe, remote, report_exe, tool, name, layout, captures,
                                 version, out)
                # The Windows 9x path opens SMARTVSD with no access rights, and
                # Wine's server checks a control code's access bits against the
                # handle before any driver sees the request: the version query
                # fails, so the scan closes the device and finds no drive.
                out = os.path.join(work, "%s-%s-win98" % (prefix_arch, exe_arch))
                os.makedirs(out)
                if prefix.start_driver(captures):
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
