#!/usr/bin/python3
"""vantrel-report --prometheus against the real consumers (Debian's prometheus
and prometheus-node-exporter):
  - promtool check metrics on every real capture's output, four drives at
    once and hostile drive texts: no parse error, and lint findings only for
    the two names kept as the common SMART exporter spells them;
  - promtool test rules: docs/vantrel-alerts.yml on series generated from the
    output of a real capture and of a second capture of the same drive with
    more pending sectors;
  - live: a node exporter's textfile collector on the folder the output is
    written into, a Prometheus server scraping it every second, both on
    127.0.0.1 on free ports; the HTTP API must return the captures' values
    and the alert must fire after the second capture is written.
Every process it starts it ends; the live part gives up after 60 seconds.
    test-prometheus.py VANTREL_REPORT ALERT_RULES CAPTURES_DIR
"""
import json
import os
import socket
import stat
import struct
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request

sys.dont_write_bytecode = True  # nothing written beside the scripts
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from capture_sections import joined, reseal, sections  # noqa: E402,F401
from servers import end_servers  # noqa: E402

program, rules, captures = (os.path.abspath(arg) for arg in sys.argv[1:4])
# Names the common exporter's dashboards and alerts know, kept as it spells
# them though promtool's lint flags them (counters without _total, _count
# on what is no histogram or summary).
KEPT_NAMES = ("smartctl_device_power_on_seconds", "smartctl_device_power_cycle_count",
              "smartctl_device_error_log_count", "smartctl_device_self_test_log_count",
              "smartctl_device_self_test_log_error_count")
ALERT = "VantrelSectorCountRising"
failures = []


def metrics(paths):
    run = subprocess.run([program, "--prometheus"] + paths, stdout=subprocess.PIPE, timeout=30)
    if run.returncode != 0:
        failures.append(f"{paths}: exit status {run.returncode}")
    return run.stdout


def check_metrics(name, text):
    run = subprocess.run(["promtool", "check", "metrics"], input=text, capture_output=True,
                         timeout=30)
    findings = [line for line in (run.stdout + run.stderr).decode().splitlines() if line]
    unexpected = [line for line in findings if not line.startswith(KEPT_NAMES)]
    if run.returncode not in (0, 3) or unexpected:
        failures.append(f"promtool check metrics, {name}: status {run.returncode}: "
                        + "; ".join(unexpected or findings))






def attribute_slot(smart_data, attribute_id):
    for slot in range(30):
        offset = 2 + 12 * slot
        if smart_data[offset] == attribute_id:
            return offset
    return None


def samples(text, name):
    """{labels text: value} of one metric family's sample lines."""
    out = {}
    for line in text.decode().splitlines():
        if line.startswith(name + "{"):
            series, value = line.rsplit(" ", 1)
            out[series] = value
    return out


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def query(port, promql):
    url = f"http://127.0.0.1:{port}/api/v1/query?" + urllib.parse.urlencode({"query": promql})
    with urllib.request.urlopen(url, timeout=5) as answer:
        return json.load(answer)["data"]["result"]


def firing(port):
    with urllib.request.urlopen(f"http://127.0.0.1:{port}/api/v1/alerts", timeout=5) as answer:
        return [alert for alert in json.load(answer)["data"]["alerts"]
                if alert["state"] == "firing"]


def wait_for(what, condition, deadline):
    while time.monotonic() < deadline:
        try:
            result = condition()
            if result:
                return result
        except OSError:
            pass  # not listening yet
        time.sleep(0.5)
    failures.append(f"live: gave up waiting for {what}")
    return None


real = sorted(os.path.join(captures, name) for name in os.listdir(captures)
              if name.endswith(".smart")) if os.path.isdir(captures) else []
if not real:
    print(f"skipped: no captures in {captures}")
    sys.exit(0)
nvme_folder = os.path.join(captures, "nvme")
nvme = sorted(os.path.join(nvme_folder, name) for name in os.listdir(nvme_folder)
              if name.endswith(".smart")) if os.path.isdir(nvme_folder) else []
sata_folder = os.path.join(captures, "sata")
sata = sorted(os.path.join(sata_folder, name) for name in os.listdir(sata_folder)
              if name.endswith(".smart")) if os.path.isdir(sata_folder) else []
for path in real + nvme + sata:
    check_metrics(os.path.basename(path), metrics([path]))
check_metrics("four drives", metrics(real[:4]))
if nvme:
    # ATA and NVMe drives side by side share the common families.
    mixed = metrics(real[:2] + nvme)
    check_metrics("ATA and NVMe drives", mixed)
    for name in ("smartctl_device_percentage_used", "smartctl_device_critical_warning"):
        if mixed.count(b"\n" + name.encode() + b"{") != len(nvme):
            failures.append(f"ATA and NVMe drives: not one {name} per NVMe drive")
sata_folder = os.path.join(captures, "sata")
if os.path.isdir(sata_folder):
    # An ATA SSD's wear is its endurance used too; a hard disk has none.
    for name in sorted(os.listdir(sata_folder)):
        if not name.endswith(".smart"):
            continue
        text = metrics([os.path.join(sata_folder, name)])
        check_metrics(name, text)
        wear = text.count(b"\nsmartctl_device_percentage_used{")
        if wear != (0 if name.startswith("HGST") else 1):
            failures.append(f"{name}: {wear} smartctl_device_percentage_used samples")

# The drive for the rest: the first capture with a temperature and a pending
# sector count; its second reading has eight more pending sectors.
chosen = None
for path in real:
    with open(path, "rb") as f:
        parts = sections(f.read())
    data = next((payload for tag, payload in parts if tag == b"SMDT"), None)
    if data and attribute_slot(data, 194) is not None and attribute_slot(data, 197) is not None:
        chosen = path, parts, data
        break
if not chosen:
    failures.append("no capture has attributes 194 and 197")
else:
    path, parts, data = chosen
    name = os.path.basename(path)
    raw194 = int.from_bytes(data[attribute_slot(data, 194) + 5:][:6], "little")
    pending = attribute_slot(data, 197) + 5
    old_pending = int.from_bytes(data[pending:pending + 2], "little")
    new_pending = old_pending + 8

    with tempfile.TemporaryDirectory() as folder:
        old_path = os.path.join(folder, "old", name)
        new_path = os.path.join(folder, "new", name)
        os.mkdir(os.path.dirname(old_path))
        os.mkdir(os.path.dirname(new_path))
        with open(old_path, "wb") as f:
            f.write(open(path, "rb").read())
        data[pending:pending + 2] = new_pending.to_bytes(2, "little")
        reseal(data)
        with open(new_path, "wb") as f:
            f.write(b"".join(tag + struct.pack(">I", len(payload)) + payload
                             for tag, payload in parts))

        # Hostile texts in the label values: quote, backslash, control and
        # high bytes, a model that is all blanks but one.
        hostile = bytearray(open(path, "rb").read())
        identify = hostile.find(b"IDFY") + 8
        hostile[identify + 54:identify + 94] = bytes(
            b'"\\\x01\x1f\x7f\x80\xe9\xff{}=,'[i ^ 1] if (i ^ 1) < 12 else 32 for i in range(40))
        if hostile[identify + 510] == 0xA5:
            signed = hostile[identify:identify + 512]
            reseal(signed)
            hostile[identify:identify + 512] = signed
        # ... and both logs: its SMART data says it keeps them (bytes 367
        # and 370), one error and two self-tests, one failed, are logged.
        smart = hostile.find(b"SMDT") + 8
        block = hostile[smart:smart + 512]
        block[367] |= 0x10
        block[370] |= 0x01
        reseal(block)
        hostile[smart:smart + 512] = block
        errors = bytearray(512)
        errors[1], errors[452] = 1, 1
        errors[2 + 61] = 0x84  # ICRC, ABRT
        reseal(errors)
        tests = bytearray(512)
        tests[2:4], tests[26:28], tests[508] = b"\x01\x00", b"\x02\x73", 2
        reseal(tests)
        hostile += b"SMEL" + struct.pack(">I", 512) + errors
        hostile += b"SMSL" + struct.pack(">I", 512) + tests
        # ... and a Device Statistics log (its directory lists two pages):
        # logical sectors written on page 1, a page 0 that lists it.
        directory = bytearray(512)
        directory[0], directory[8] = 1, 2
        statistics = bytearray(1024)
        statistics[0], statistics[8], statistics[9:11] = 1, 2, b"\x00\x01"
        statistics[512:515] = b"\x01\x00\x01"
        statistics[512 + 0x18:512 + 0x20] = struct.pack("<Q", (0xC0 << 56) | 2000)
        hostile += b"SLDR" + struct.pack(">I", 512) + directory
        hostile += b"DVST" + struct.pack(">I", len(statistics)) + statistics
        hostile_path = os.path.join(folder, "hostile.smart")
        with open(hostile_path, "wb") as f:
            f.write(hostile)
        hostile_metrics = metrics([hostile_path, "-", old_path])
        check_metrics("hostile texts", hostile_metrics)
        for family, value in (("smartctl_device_error_log_count", "1"),
                              ("smartctl_device_self_test_log_count", "2"),
                              ("smartctl_device_self_test_log_error_count", "1")):
            found = list(samples(hostile_metrics, family).values())
            if found != [value]:
                failures.append(f"{family}: {found}, not [{value}] for the drive with logs")
        written = list(samples(hostile_metrics, "smartctl_device_bytes_written").values())
        if written != [str(2000 * 512)]:
            failures.append(f"smartctl_device_bytes_written: {written}, not [1024000]")

        # The rule test, on series taken from the two outputs: the old
        # reading for ten minutes, then the new one.
        old_counts = samples(metrics([old_path]), "vantrel_attribute_count")
        new_counts = samples(metrics([new_path]), "vantrel_attribute_count")
        series = [{"series": labels, "values": f"{old_counts[labels]}x9 {new_counts[labels]}x9"}
                  for labels in old_counts]

        def expected_alerts(alertname, value_of, minute):
            out = []
            for labels in old_counts:
                old, new = int(old_counts[labels]), int(new_counts[labels])
                fires, value = value_of(labels, old, new, minute)
                if not fires:
                    continue
                label_map = dict(part.split("=", 1) for part in
                                 labels[labels.index("{") + 1:-1].split(","))
                label_map = {k: json.loads(v) for k, v in label_map.items()}
                label_map["severity"] = "warning"
                text = {ALERT: f" {label_map['device']}: attribute {label_map['attribute_id']} "
                               f"rose to {value}",
                        "VantrelSectorsPending": f" {label_map['device']}: {value} sectors in "
                                                 f"attribute {label_map['attribute_id']}"}[alertname]
                out.append({"exp_labels": label_map, "exp_annotations": {"summary": text}})
            return out

        def rising(labels, old, new, minute):
            return minute >= 10 and new > old, new

        def pendings(labels, old, new, minute):
            value = new if minute >= 10 else old
            return ('"197"' in labels or '"198"' in labels) and value > 0, value
        tests = [{"eval_time": f"{minute}m", "alertname": alertname,
                  "exp_alerts": expected_alerts(alertname, value_of, minute)}
                 for minute in (5, 15)
                 for alertname, value_of in ((ALERT, rising), ("VantrelSectorsPending", pendings))]
        if not tests[2]["exp_alerts"]:
            failures.append("the second capture raises no count")
        unit = os.path.join(folder, "rules-test.yml")
        with open(unit, "w") as f:
            json.dump({"rule_files": [rules], "evaluation_interval": "1m",
                       "tests": [{"interval": "1m", "input_series": series,
                                  "alert_rule_test": tests}]}, f)
        run = subprocess.run(["promtool", "test", "rules", unit], capture_output=True, timeout=60)
        if run.returncode != 0:
            failures.append("promtool test rules: " + (run.stdout + run.stderr).decode())

        # Live.
        textfiles = os.path.join(folder, "textfile")
        os.mkdir(textfiles)
        output = os.path.join(textfiles, "vantrel.prom")
        exporter_port, server_port = free_port(), free_port()
        config = os.path.join(folder, "prometheus.yml")
        with open(config, "w") as f:
            json.dump({"global": {"scrape_interval": "1s", "evaluation_interval": "1s"},
                       "rule_files": [rules],
                       "scrape_configs": [{"job_name": "node", "static_configs": [
                           {"targets": [f"127.0.0.1:{exporter_port}"]}]}]}, f)
        log = open(os.path.join(folder, "servers.log"), "wb")
        started = []
        deadline = time.monotonic() + 60
        try:
            started.append(subprocess.Popen(
                ["prometheus-node-exporter", f"--web.listen-address=127.0.0.1:{exporter_port}",
                 "--collector.disable-defaults", "--collector.textfile",
                 f"--collector.textfile.directory={textfiles}"], stdout=log, stderr=log))
            started.append(subprocess.Popen(
                ["prometheus", f"--config.file={config}",
                 f"--storage.tsdb.path={os.path.join(folder, 'data')}",
                 f"--web.listen-address=127.0.0.1:{server_port}"], stdout=log, stderr=log))

            # Written as root's cron would, with its usual umask: the new file
            # (0666 less the umask) must be readable by the collector's user.
            subprocess.run([program, "--prometheus", "--output", output, old_path], check=True,
                           timeout=30, preexec_fn=lambda: os.umask(0o022))
            if not os.stat(output).st_mode & stat.S_IROTH:
                failures.append(f"{output} is not readable by other users")
            temperature = f'smartctl_device_attribute{{attribute_id="194",attribute_value_type="raw"}}'
            result = wait_for("the first scrape", lambda: query(server_port, temperature),
                              deadline)
            if result:
                got = result[0]
                print(f"live: {temperature} -> {got['metric']['device']} {got['value'][1]}")
                if got["value"][1] != str(raw194) or got["metric"]["device"] != name:
                    failures.append(f"live: {got}, not {raw194} of {name}")
            count = f'vantrel_attribute_count{{attribute_id="197"}}'
            wait_for(f"{count} = {old_pending}", lambda: any(
                r["value"][1] == str(old_pending) for r in query(server_port, count)), deadline)
            time.sleep(2)  # two rule evaluations on the old reading
            if any(a["labels"]["alertname"] == ALERT for a in firing(server_port)):
                failures.append(f"live: {ALERT} fired on the first reading")

            subprocess.run([program, "--prometheus", "--output", output, new_path], check=True,
                           timeout=30)
            alerts = wait_for(f"{ALERT} to fire", lambda: [
                a for a in firing(server_port) if a["labels"]["alertname"] == ALERT], deadline)
            if alerts:
                print(f"live: {ALERT} firing for {alerts[0]['labels']['device']} attribute "
                      f"{alerts[0]['labels']['attribute_id']}: {alerts[0]['value']}")

            # The identity and Device Statistics series, scraped: the drive
            # with the log and the shared SATA drives.
            subprocess.run([program, "--prometheus", "--output", output, hostile_path] + sata,
                           check=True, timeout=30)
            wanted = [("smartctl_device_bytes_written", str(2000 * 512)),
                      ('smartctl_device_statistics{statistic_name="Logical Sectors Written"}',
                       "2000")]
            if sata:
                wanted += [('smartctl_device_rotation_rate', "7200"),
                           ('smartctl_device_interface_speed{speed_type="current",'
                            'device="HGST_HUS724020ALE640.smart"}', "3000000000"),
                           ('smartctl_device_block_size{blocks_type="physical",'
                            'device="HGST_HUS724020ALE640.smart"}', "4096"),
                           ('smartctl_device{form_factor="3.5 inches",sata_version="SATA 3.0"}',
                            "1")]
            for series, value in wanted:
                got = wait_for(f"{series} = {value}", lambda: [
                    r for r in query(server_port, series) if r["value"][1] == value], deadline)
                if got:
                    print(f"live: {series} -> {value}")
        finally:
            end_servers(started, log, failures, 3000)

for failure in failures:
    print(failure, file=sys.stderr)
if not failures:
    print(f"promtool: {len(real)} captures, four drives and hostile texts parse; rules test and "
          "live scrape pass")
sys.exit(1 if failures else 0)
