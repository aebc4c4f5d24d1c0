#!/usr/bin/python3
"""vantrel-report --json against its schema (docs/vantrel-report.schema.json),
with Debian's python3-jsonschema: every real capture, hostile hand-made drives,
and a copy of a document with each key renamed in turn, which must fail.
    test-json-schema.py VANTREL_REPORT SCHEMA CAPTURES_DIR
"""
import json
import os
import random
import struct
import subprocess
import sys
import tempfile

import jsonschema

program, schema_path, captures = sys.argv[1:4]
with open(schema_path) as f:
    schema = json.load(f)
jsonschema.Draft202012Validator.check_schema(schema)
validator = jsonschema.Draft202012Validator(schema)
failures = []


def report(paths):
    run = subprocess.run([program, "--json"] + paths, stdout=subprocess.PIPE, timeout=30)
    if run.returncode != 0:
        failures.append(f"{paths}: exit status {run.returncode}")
        return None
    # Strict UTF-8: drive bytes 0x80-0xFF must arrive as characters.
    return json.loads(run.stdout.decode("utf-8"))


def check(name, document):
    errors = sorted(validator.iter_errors(document), key=str)
    if errors:
        failures.append(f"{name}: {errors[0].message} at {list(errors[0].absolute_path)}")


def swapped(text, width):
    text = text.ljust(width, b" ")[:width]
    return bytes(text[i ^ 1] for i in range(width))


def capture(model, serial=b"SERIAL", firmware=b"FW", identify=None, data=None,
            thresholds=None, power=None, error_log=None, self_test_log=None, directory=None,
            statistics=None):
    """A capture in its tagged layout, big-endian lengths;
    power is PWRM, CHECK POWER MODE's answer."""
    block = bytearray(identify or bytes(512))
    block[20:40] = swapped(serial, 20)
    block[46:54] = swapped(firmware, 8)
    block[54:94] = swapped(model, 40)
    out = b"IDFY" + struct.pack(">I", 512) + bytes(block)
    if data is not None:
        out += b"SMDT" + struct.pack(">I", 512) + data
    if thresholds is not None:
        out += b"SMTH" + struct.pack(">I", 512) + thresholds
    if power is not None:
        out += b"PWRM" + struct.pack(">I", 4) + struct.pack(">I", power)
    if error_log is not None:
        out += b"SMEL" + struct.pack(">I", 512) + error_log
    if self_test_log is not None:
        out += b"SMSL" + struct.pack(">I", 512) + self_test_log
    if directory is not None:
        out += b"SLDR" + struct.pack(">I", 512) + directory
    if statistics is not None:
        out += b"DVST" + struct.pack(">I", len(statistics)) + statistics
    return out


def sealed(block):
    """A SMART block whose last byte makes its 8-bit sum 0, as drives send."""
    block = bytearray(block)
    block[511] = -sum(block[:511]) & 0xFF
    return bytes(block)


def expected_text(raw):
    """What a drive's text must read as: up to its first NUL, line breaks as
    blanks, Latin-1, trimmed."""
    raw = raw.split(b"\0")[0].replace(b"\r", b" ").replace(b"\n", b" ")
    return raw.decode("latin-1").strip(" ")


rng = random.Random(17)
hostile_text = bytes(range(1, 32)) + b'"\\/\x7f\x80\xa0\xe9\xff'
all_ones = b"\xff" * 512
noise = [bytes(rng.randrange(256) for _ in range(512)) for _ in range(3)]
hostile = [
    # Every control byte, quote, backslash and high byte in every text.
    (dict(model=hostile_text[:40], serial=b' "\\\x01\xff\x80 ', firmware=b"\t\x1f\xe9\\\""),
     dict(data=noise[0], thresholds=noise[1])),
    # A drive that answers all ones: 30 attributes of id 255, the widest
    # raw values, the 48-bit capacity with its top word set too.
    (dict(model=b"\xff" * 40, serial=b"\xff" * 20, firmware=b"\xff" * 8),
     dict(identify=all_ones, data=all_ones, thresholds=all_ones)),
    # Noise throughout; the threshold read fails.
    (dict(model=b"N\x00ISE", serial=noise[2][:20], firmware=noise[2][20:28],
          identify=noise[2]), dict(data=noise[1])),
    # No SMART data at all.
    (dict(model=b"  LEADING AND TRAILING  ", serial=b"", firmware=b""), dict()),
]
with tempfile.TemporaryDirectory() as folder:
    paths = []
    for index, (texts, blocks) in enumerate(hostile):
        path = os.path.join(folder, f"hostile{index}.smart")
        with open(path, "wb") as f:
            f.write(capture(**texts, **blocks))
        paths.append(path)
    document = report(paths)
    if document is not None:
        check("hostile drives", document)
        for drive, (texts, _) in zip(document["drives"], hostile):
            for key, field in (("model_name", "model"), ("serial_number", "serial"),
                               ("firmware_version", "firmware")):
                want = expected_text(texts[field])
                if drive[key] != want:
                    failures.append(f"hostile {key}: {drive[key]!r}, not {want!r}")

# ATA drives by power mode and by the trust their replies deserve: (name,
# capture blocks, --wake or not, vantrel keys expected, verdict, reasons).
one_attribute = bytearray(512)
one_attribute[2:14] = bytes([5, 0x33, 0, 100, 100, 0, 0, 0, 0, 0, 0, 0])
twice = bytearray(one_attribute)
twice[14:26] = twice[2:14]
signed = bytearray(512)
signed[510] = 0xA5
ok = {"identify": "unsigned", "smart_data": "ok", "thresholds": "ok", "error_log": "absent",
      "self_test_log": "absent", "device_statistics": "absent",
      "device_statistics_failed_pages": []}
good = dict(data=sealed(one_attribute), thresholds=sealed(bytes(512)))
ata_cases = [
    ("standby", dict(power=0), False, {"power_mode": {"value": 0, "string": "standby"},
                                        "read": False}, "STANDBY", []),
    ("standby, woken", dict(power=1, **good), True,
     {"power_mode": {"value": 1, "string": "standby"}, "read": True, "integrity": ok},
     "GOOD", []),
    ("idle", dict(power=0x80, **good), False,
     {"power_mode": {"value": 128, "string": "idle"}}, "GOOD", []),
    ("a failed CHECK POWER MODE", dict(power=0xFFFFFFFF, **good), False,
     {"power_mode": {"value": None, "string": "unknown"}, "read": True}, "GOOD", []),
    ("an answer outside the standard", dict(power=0x22, **good), False,
     {"power_mode": {"value": None, "string": "unknown"}}, "GOOD", []),
    ("SMART data garbled", dict(data=bytes(one_attribute[:511]) + b"\1",
                                thresholds=sealed(bytes(512))), False,
     {"integrity": dict(ok, smart_data="failed")}, "UNKNOWN",
     ["SMART data failed its checksum"]),
    ("an attribute twice", dict(data=sealed(twice), thresholds=sealed(bytes(512))), False,
     {"integrity": dict(ok, smart_data="failed")}, "UNKNOWN",
     ["attribute 5 appears twice in the SMART data"]),
    ("all FFh, which sums to 0", dict(data=all_ones, thresholds=sealed(bytes(512))), False,
     {"integrity": dict(ok, smart_data="failed")}, "UNKNOWN",
     ["attribute 255 appears twice in the SMART data"]),
    ("thresholds and IDENTIFY garbled", dict(identify=bytes(signed), data=sealed(one_attribute),
                                             thresholds=b"\1" + bytes(511)), False,
     {"integrity": dict(ok, identify="failed", thresholds="failed")},
     "UNKNOWN", ["IDENTIFY failed its checksum", "SMART thresholds failed their checksum"]),
    ("no thresholds read", dict(data=sealed(one_attribute)), False,
     {"integrity": dict(ok, thresholds="absent")}, "UNKNOWN", ["thresholds not read"]),
]
with tempfile.TemporaryDirectory() as folder:
    for index, (name, blocks, wake, keys, verdict, reasons) in enumerate(ata_cases):
        path = os.path.join(folder, f"ata{index}.smart")
        with open(path, "wb") as f:
            f.write(capture(b"POWER %d" % index, **blocks))
        run = subprocess.run([program, "--json", path] + (["--wake"] if wake else []),
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
        document = json.loads(run.stdout.decode("utf-8"))
        check(f"ATA {name}", document)
        own = document["drives"][0]["vantrel"]
        health = own["health"]
        if run.returncode != 0 or (health["verdict"], health["reasons"]) != (verdict, reasons):
            failures.append(f"ATA {name}: exit {run.returncode}, {health}")
        for key, want in keys.items():
            if own.get(key) != want:
                failures.append(f"ATA {name}: {key} is {own.get(key)!r}, not {want!r}")
        # Each failed check once on standard error, and only those.
        said = [line for line in run.stderr.decode().splitlines()
                if os.path.basename(path) in line]
        if verdict == "UNKNOWN" and reasons[0] != "thresholds not read" and \
                said != [f"vantrel-report: {os.path.basename(path)}: {r}" for r in reasons]:
            failures.append(f"ATA {name}: standard error {run.stderr!r}")


# The drive's own logs. An error is (error, status, 24-bit LBA, device,
# hours); a self-test (type, status, hours, LBA), oldest first.
def error_log(errors, count=None, first_slot=0):
    block = bytearray(512)
    block[0] = 1
    for i, (error, status, lba, device, hours) in enumerate(errors):
        at = 2 + 90 * ((first_slot + i) % 5) + 60
        block[at + 1:at + 8] = bytes([error, 1, lba & 0xFF, lba >> 8 & 0xFF, lba >> 16, device,
                                      status])
        block[at + 28:at + 30] = struct.pack("<H", hours)
    block[1] = (first_slot + len(errors) - 1) % 5 + 1 if errors else 0
    block[452:454] = struct.pack("<H", len(errors) if count is None else count)
    return sealed(block)


def self_test_log(tests):
    block = bytearray(512)
    block[0] = 1
    for i, (kind, status, hours, lba) in enumerate(tests):
        block[2 + 24 * i:2 + 24 * i + 9] = struct.pack("<BBHBI", kind, status, hours, 0, lba)
    block[508] = len(tests)
    return sealed(block)


# SMART data that says it keeps both logs: the self-test capability (byte
# 367 bit 4) and error logging (byte 370 bit 0).
keeps_logs = bytearray(one_attribute)
keeps_logs[367] = 0x10
keeps_logs[370] = 0x01
UNC, ABRT, ICRC_ABRT, IDNF = 0x40, 0x04, 0x84, 0x10
log_cases = [
    # (name, logs, verdict, reasons, checks on the drive's JSON)
    ("an uncorrectable error", dict(error_log=error_log(
        [(ABRT, 0x51, 100, 0xE0, 10), (UNC, 0x51, 0x71BDE0, 0xE0, 36208)])),
     "CAUTION", ["2 errors logged, the most recent uncorrectable at LBA 7454176 (36208 hours)"],
     {("ata_smart_error_log", "summary", "table", 0, "completion_registers", "lba"): 0x71BDE0,
      ("ata_smart_error_log", "summary", "table", 1, "error_number"): 1}),
    ("only aborted and CRC errors", dict(error_log=error_log(
        [(ICRC_ABRT, 0x51, 0, 0xA0, 5), (ABRT, 0x51, 0, 0xA0, 6), (IDNF, 0x51, 9, 0xE0, 7)])),
     "GOOD", [], {("ata_smart_error_log", "summary", "logged_count"): 3}),
    ("a wrapped error log", dict(error_log=error_log(
        [(ABRT, 0x51, n, 0xE0, 100 + n) for n in range(5)], count=98, first_slot=3)),
     "GOOD", [], {("ata_smart_error_log", "summary", "count"): 98,
                  ("ata_smart_error_log", "summary", "table", 0, "error_number"): 98,
                  ("ata_smart_error_log", "summary", "table", 0, "lifetime_hours"): 104,
                  ("ata_smart_error_log", "summary", "table", 4, "lifetime_hours"): 100}),
    ("an uncorrectable error, 28 bits", dict(error_log=error_log([(UNC, 0x51, 0x123456, 0xE7, 9)])),
     "CAUTION", ["1 error logged, the most recent uncorrectable at LBA 118633558 (9 hours)"], {}),
    ("a read failure a later pass cleared", dict(self_test_log=self_test_log(
        [(1, 0x73, 7000, 123456), (2, 0x00, 7042, 0)])),
     "GOOD", [], {("ata_smart_self_test_log", "standard", "error_count_total"): 1,
                  ("ata_smart_self_test_log", "standard", "table", 1, "lba"): 123456}),
    ("a read failure, then an aborted test", dict(self_test_log=self_test_log(
        [(0, 0x00, 6000, 0), (1, 0x73, 7042, 123456), (2, 0x10, 7050, 0)])),
     "BAD", ["last self-test (Short offline) failed: read failure at LBA 123456, at 7042 hours"],
     {("ata_smart_self_test_log", "standard", "table", 0, "status", "string"): "Aborted by host"}),
    ("an electrical failure, captive", dict(self_test_log=self_test_log([(0x82, 0x5F, 12, 77)])),
     "BAD", ["last self-test (Extended captive) failed: electrical failure, at 12 hours"], {}),
    ("a test in progress", dict(self_test_log=self_test_log([(1, 0x00, 5, 0), (2, 0xF3, 9, 0)])),
     "GOOD", [], {("ata_smart_self_test_log", "standard", "table", 0, "status",
                   "remaining_percent"): 30,
                  ("ata_smart_self_test_log", "standard", "table", 0, "status", "passed"): False}),
    ("a reserved status and a vendor's test", dict(self_test_log=self_test_log([(0x40, 0x90, 3, 0)])),
     "GOOD", [], {("ata_smart_self_test_log", "standard", "table", 0, "status", "string"):
                  "Unknown status (0x9)",
                  ("ata_smart_self_test_log", "standard", "table", 0, "type", "string"):
                  "Vendor (0x40)"}),
    ("logs with a bad checksum and a bad index", dict(
        error_log=error_log([(UNC, 0x51, 1, 0xE0, 1)])[:511] + b"\0",
        self_test_log=bytes(sealed(bytearray(508) + b"\x16\0\0\0"))),
     "GOOD", [], {("ata_smart_error_log",): None, ("vantrel", "integrity", "error_log"): "failed",
                  ("vantrel", "integrity", "self_test_log"): "failed"}),
]


def device_statistics(pages, broken=()):
    """A log directory listing log 04h, and the Device Statistics pages 0 to
    the highest of pages: page 0 lists them, each page's header names itself
    (but those in broken), and holds {offset: (flags, value)}."""
    count = max(pages) + 1
    directory = bytearray(512)
    directory[0] = 1
    directory[8] = count
    log = bytearray(512 * count)
    log[0], log[8] = 1, len(pages) + 1
    log[9:10 + len(pages)] = bytes([0] + sorted(pages))
    for number, statistics in pages.items():
        log[512 * number] = 1
        log[512 * number + 2] = number + 1 if number in broken else number
        for offset, (flags, value) in statistics.items():
            log[512 * number + offset:512 * number + offset + 8] = struct.pack(
                "<Q", (flags << 56) | value)
    return dict(directory=bytes(directory), statistics=bytes(log))


VALID = 0xC0
log_cases += [
    ("Device Statistics", device_statistics({1: {0x18: (VALID, 1000), 0x28: (0x80, 5)},
                                             5: {0x08: (VALID | 0x20, 0xFE)},
                                             7: {0x08: (VALID | 0x18, 3)}}),
     "GOOD", [], {("ata_device_statistics", "pages", 1, "table", 0, "value"): -2,
                  ("ata_device_statistics", "pages", 2, "table", 0, "flags", "string"): "-DC",
                  ("ata_device_statistics", "pages", 0, "table", 1, "value"): None,
                  ("vantrel", "integrity", "device_statistics"): "ok"}),
    ("a Device Statistics page that names another", device_statistics(
        {1: {0x18: (VALID, 1000)}, 4: {0x08: (VALID, 1)}}, broken=(4,)),
     "GOOD", [], {("ata_device_statistics", "pages", 1): None,
                  ("vantrel", "integrity", "device_statistics_failed_pages"): [4]}),
]
with tempfile.TemporaryDirectory() as folder:
    paths = []
    for index, (name, logs, *_rest) in enumerate(log_cases):
        paths.append(os.path.join(folder, f"logs{index}.smart"))
        with open(paths[-1], "wb") as f:
            f.write(capture(b"LOGS %d" % index, data=sealed(keeps_logs),
                            thresholds=sealed(bytes(512)), **logs))
    # One that keeps none: no log is asked for, though the capture has them.
    paths.append(os.path.join(folder, "nologs.smart"))
    with open(paths[-1], "wb") as f:
        f.write(capture(b"NO LOGS", data=sealed(one_attribute), thresholds=sealed(bytes(512)),
                        error_log=error_log([(UNC, 0x51, 1, 0xE0, 1)])))
    log_cases.append(("a drive that keeps no logs", {}, "GOOD", [],
                      {("ata_smart_error_log",): None,
                       ("vantrel", "integrity", "error_log"): "absent"}))
    run = subprocess.run([program, "--json"] + paths, stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE, timeout=30)
    document = json.loads(run.stdout.decode("utf-8"))
    check("drives with logs", document)
    for drive, (name, _, verdict, reasons, checks) in zip(document["drives"], log_cases):
        health = drive["vantrel"]["health"]
        if (health["verdict"], health["reasons"]) != (verdict, reasons):
            failures.append(f"logs, {name}: {health}, not {verdict} {reasons}")
        for keys, want in checks.items():
            value = drive
            for key in keys:
                value = value[key] if isinstance(value, (dict, list)) and \
                    (key in value if isinstance(value, dict) else key < len(value)) else None
            if value != want:
                failures.append(f"logs, {name}: {'/'.join(map(str, keys))} is {value!r}, "
                                f"not {want!r}")
    said = run.stderr.decode()
    for line in ("logs9.smart: the error log failed its checks",
                 "logs9.smart: the self-test log failed its checks",
                 "logs11.smart: Device Statistics page 4 failed its checks"):
        if said.count(line) != 1:
            failures.append(f"logs: standard error has not once {line!r}: {said!r}")


def nvme_capture(log=(), controller=(), namespace=None):
    """An NVMe capture: Identify Controller, Identify Namespace when given,
    the health log; each a list of (offset, width, value), little-endian."""
    def block(size, fields):
        data = bytearray(size)
        for offset, width, value in fields:
            data[offset:offset + width] = value.to_bytes(width, "little")
        return bytes(data)
    ident = bytearray(block(4096, controller))
    ident[24:64] = b"SYNTHETIC NVME".ljust(40)
    out = b"NVID" + struct.pack(">I", 4096) + bytes(ident)
    if namespace is not None:
        out += b"NVNS" + struct.pack(">I", 4096) + block(4096, namespace)
    return out + b"NVHL" + struct.pack(">I", 512) + block(512, log)


KELVIN = (1, 2, 273 + 40)
SPARE = lambda spare, threshold: [(3, 1, spare), (4, 1, threshold)]
nvme_cases = [
    # (name, capture, verdict, reasons, checks on the drive's JSON)
    ("healthy, 4096-byte format", nvme_capture(
        [KELVIN] + SPARE(100, 10), [(280, 16, 4096 * 1000)],
        [(0, 8, 1000), (25, 1, 1), (26, 1, 1), (128 + 4 + 2, 1, 12)]),
     "GOOD", [], {("user_capacity", "bytes"): 4096000, ("logical_block_size",): 4096}),
    ("every warning bit", nvme_capture([(0, 1, 0x3F), KELVIN] + SPARE(5, 10)),
     "BAD", ["available spare below its threshold", "reliability degraded",
             "media placed in read-only mode", "volatile memory backup failed",
             "persistent memory region unreliable", "temperature beyond a threshold"],
     {("smart_status", "passed"): False, ("smart_status", "nvme", "value"): 63}),
    ("temperature alone", nvme_capture([(0, 1, 2), KELVIN] + SPARE(100, 10)),
     "CAUTION", ["temperature beyond a threshold"], {}),
    ("spare below a threshold, bit clear", nvme_capture([KELVIN] + SPARE(8, 10)),
     "BAD", ["available spare 8% below its threshold 10%"], {}),
    ("spare 0 with no threshold", nvme_capture([KELVIN] + SPARE(0, 0)), "GOOD", [], {}),
    ("counters beyond 2^64", nvme_capture(
        [KELVIN, (5, 1, 104), (160, 16, 2**64 + 5), (32, 16, 2**127 + 1)] + SPARE(100, 10)),
     "CAUTION", ["18446744073709551621 media and data integrity errors",
                 "rated endurance used up (104%)"],
     {("nvme_smart_health_information_log", "data_units_read"): 2**127 + 1}),
    ("no namespace, 0 K, one error", nvme_capture([(160, 16, 1)] + SPARE(100, 10)),
     "CAUTION", ["1 media and data integrity error"], {("temperature",): None}),
    ("an inactive namespace answers zeros", nvme_capture(SPARE(100, 10), namespace=[]),
     "GOOD", [], {("user_capacity",): None}),
]
with tempfile.TemporaryDirectory() as folder:
    paths = []
    for index, case in enumerate(nvme_cases):
        paths.append(os.path.join(folder, f"nvme{index}.smart"))
        with open(paths[-1], "wb") as f:
            f.write(case[1])
    run = subprocess.run([program, "--json"] + paths, stdout=subprocess.PIPE, timeout=30)
    document = json.loads(run.stdout.decode("utf-8"))
    check("synthetic NVMe drives", document)
    for drive, (name, _, verdict, reasons, checks) in zip(document["drives"], nvme_cases):
        health = drive["vantrel"]["health"]
        if (health["verdict"], health["reasons"]) != (verdict, reasons):
            failures.append(f"NVMe {name}: {health}, not {verdict} {reasons}")
        for keys, want in checks.items():
            value = drive
            for key in keys:
                value = value.get(key) if isinstance(value, dict) else None
            if value != want:
                failures.append(f"NVMe {name}: {'/'.join(keys)} is {value!r}, not {want!r}")

def smart_files(folder):
    return sorted(os.path.join(folder, name) for name in os.listdir(folder)
                  if name.endswith(".smart")) if os.path.isdir(folder) else []


real = smart_files(captures)
nvme_real = smart_files(os.path.join(captures, "nvme"))
sata_real = smart_files(os.path.join(captures, "sata"))
if not real:
    print(f"skipped the real captures: none in {captures}")
for path in real + nvme_real + sata_real:
    document = report([path])
    if document is not None:
        check(os.path.basename(path), document)

# The shared SATA drives' identity, as their README gives it: rotation, form
# factor, TRIM, ATA major/minor, SATA value, link max/current, WWN, physical.
TRIM_ALL = {"supported": True, "deterministic": True, "zeroed": True}
SATA_IDENTITY = {
    "HGST_HUS724020ALE640.smart": (7200, "3.5 inches", {"supported": False}, 508, 41, 63,
                                   "3.0 Gb/s", 3274, 4096),
    "SAMSUNG_MZ7WD240HAFV-00003.smart": (0, None, TRIM_ALL, 1020, 57, 127, "6.0 Gb/s", 9528,
                                         512),
    "INTEL_SSDSC2BB240G4.smart": (0, "2.5 inches", TRIM_ALL, 1020, 272, 31, "6.0 Gb/s",
                                  6083300, 4096),
    "Micron_5300_MTFDDAK960TDS.smart": (0, "2.5 inches", TRIM_ALL, 4088, 65535, 511,
                                        "6.0 Gb/s", 41077, 4096),
}
for path in sata_real:
    name = os.path.basename(path)
    drive = report([path])["drives"][0]
    rpm, form, trim, major, minor, sata, current, oui, physical = SATA_IDENTITY[name]
    got = (drive.get("rotation_rate"), drive.get("form_factor", {}).get("name"),
           drive.get("trim"), drive["ata_version"]["major_value"],
           drive["ata_version"]["minor_value"], drive["sata_version"]["value"],
           drive["interface_speed"]["current"]["string"], drive["wwn"]["oui"],
           drive.get("physical_block_size"))
    if got != SATA_IDENTITY[name] or drive["interface_speed"]["max"]["string"] != "6.0 Gb/s" or \
            (drive["wwn"]["naa"], drive["wwn"]["id"]) != (5, 1234567890):
        failures.append(f"{name}: identity {got}, {drive.get('interface_speed')}, "
                        f"{drive.get('wwn')}")
if real:
    four = report(real[:4])
    four and check("four drives", four)

    # Every key renamed, once per place in the document, must fail.
    def renamed_copies(value, path=()):
        if isinstance(value, dict):
            for key in value:
                copy = json.loads(json.dumps(value))
                copy[key + "_renamed"] = copy.pop(key)
                yield path + (key,), copy
                for subpath, sub in renamed_copies(value[key], path + (key,)):
                    outer = json.loads(json.dumps(value))
                    outer[key] = sub
                    yield subpath, outer
        elif isinstance(value, list) and value:
            for subpath, sub in renamed_copies(value[0], path + (0,)):
                yield subpath, [sub] + value[1:]

    renames = 0
    for paths in ([real[0]], nvme_real[:1]):
        document = report(paths) if paths else None
        for keypath, copy in renamed_copies(document) if document else ():
            renames += 1
            if validator.is_valid(copy):
                failures.append(f"renaming {'/'.join(map(str, keypath))} still validates")
    print(f"{len(real) + len(nvme_real) + len(sata_real)} captures, 4 hostile, {len(ata_cases)} synthetic ATA, "
          f"{len(log_cases)} with logs and {len(nvme_cases)} synthetic NVMe drives and "
          f"{renames} renamed keys checked")

for failure in failures:
    print(failure, file=sys.stderr)
sys.exit(1 if failures else 0)
