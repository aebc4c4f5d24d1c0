#!/usr/bin/python3
"""The shipped alert rules and dashboard, and the public queries that the
common SMART exporter's users run, against Vantrel's metrics:
  - promtool test rules: each rule of the rules file on the series of real
    captures (some edited the way a failing drive would change them); it must
    fire for the capture that should fire it and stay silent on a healthy one;
  - live: the metrics of the shared captures (and any metrics files given,
    such as the QEMU guest's) in the textfile folders of real node exporters,
    scraped by a real Prometheus server with the rules loaded, all on
    127.0.0.1 on free ports. Every rule must evaluate without error, every
    panel query of the dashboard must return data, and every public query
    must answer for the drives its entry names.
Every process it starts it ends; the live part gives up after 90 seconds.
    test-prometheus-queries.py --rules FILE [--program VANTREL_REPORT --captures DIR]
        [--dashboard FILE] [--queries FILE] [--metrics NAME=FILE ...]
A metrics file that is not there is skipped with a note (the QEMU guest's
output exists only after scripts/test-qemu.sh ran).
"""
import argparse
import json
import os
import re
import socket
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

import yaml

parser = argparse.ArgumentParser()
parser.add_argument("--rules", required=True)
parser.add_argument("--program")
parser.add_argument("--captures")
parser.add_argument("--dashboard")
parser.add_argument("--queries")
parser.add_argument("--metrics", action="append", default=[])
args = parser.parse_args()
failures = []


def fail(text):
    failures.append(text)
    print("FAIL: " + text, file=sys.stderr)


def metrics(paths):
    run = subprocess.run([args.program, "--prometheus"] + paths, stdout=subprocess.PIPE,
                         timeout=30)
    if run.returncode != 0:
        fail(f"vantrel-report --prometheus {paths}: exit status {run.returncode}")
    return run.stdout.decode()






def section(parts, tag):
    return next(payload for name, payload in parts if name == tag)




def set_temperature(parts, celsius):
    data = section(parts, b"SMDT")
    slot = next(2 + 12 * i for i in range(30) if data[2 + 12 * i] == 194)
    data[slot + 5] = celsius
    reseal(data)


def set_nvme_health(parts, warning=None, celsius=None, spare=None):
    log = section(parts, b"NVHL")
    if warning is not None:
        log[0] = warning
    if celsius is not None:
        log[1:3] = (celsius + 273).to_bytes(2, "little")
    if spare is not None:
        log[3] = spare


def set_self_assessment(parts, passed):
    section(parts, b"SMST")[:] = struct.pack(">I", passed)


def add_failed_self_test(parts):
    """A self-test log whose newest entry is a short test that failed on a
    read element, and SMART data saying the drive keeps the log."""
    data = section(parts, b"SMDT")
    data[367] |= 0x10
    data[370] |= 0x01
    reseal(data)
    tests = bytearray(512)
    tests[0:2] = b"\x01\x00"
    tests[2], tests[3], tests[4:6] = 0x01, 0x73, (1000).to_bytes(2, "little")
    tests[508] = 1
    reseal(tests)
    parts.append([b"SMSL", tests])


# Rule, drive that must fire it (a shared capture, edited as named), drive
# that must stay silent, and the metric whose sample the alert carries the
# labels of (with a label filter).
CASES = [
    ("VantrelDriveCaution", "FUJITSU_MHY2120BH--0085000B.smart", None,
     "FUJITSU_MHY2120BH--0084000D.smart", 'vantrel_drive_health{verdict="CAUTION"}'),
    ("VantrelDriveBad", "ST9100821AS--3.CME.smart", None, "sata/HGST_HUS724020ALE640.smart",
     'vantrel_drive_health{verdict="BAD"}'),
    ("VantrelSectorsPending", "FUJITSU_MHY2120BH--0085000B.smart", None,
     "FUJITSU_MHY2120BH--0084000D.smart", 'vantrel_attribute_count{attribute_id=~"197|198"}'),
    ("VantrelSelfAssessmentFailed", "sata/HGST_HUS724020ALE640.smart",
     lambda p: set_self_assessment(p, 0), "sata/HGST_HUS724020ALE640.smart",
     "smartctl_device_smart_status"),
    ("VantrelSelfAssessmentFailed", "nvme/SAMSUNG_MZVL21T0HCLR-00B00--nvme.smart",
     lambda p: set_nvme_health(p, warning=4), "nvme/INTEL_SSDPE2KX080T8--nvme.smart",
     "smartctl_device_smart_status"),
    ("VantrelNvmeCriticalWarning", "nvme/SAMSUNG_MZVL21T0HCLR-00B00--nvme.smart",
     lambda p: set_nvme_health(p, warning=4), "nvme/KXG60ZNV512G_TOSHIBA--nvme.smart",
     "smartctl_device_critical_warning"),
    ("VantrelNvmeSpareLow", "nvme/KXG60ZNV512G_TOSHIBA--nvme.smart",
     lambda p: set_nvme_health(p, warning=1, spare=5), "nvme/INTEL_SSDPE2KX080T8--nvme.smart",
     "smartctl_device_available_spare"),
    # A hard disk at 60 °C fires; an NVMe drive at 60 °C is within its range.
    ("VantrelTemperatureHigh", "SAMSUNG_MP0804H--UE100-14.smart",
     lambda p: set_temperature(p, 60), "nvme/SAMSUNG_MZVL21T0HCLR-00B00--nvme.smart",
     'smartctl_device_temperature{temperature_type="current"}'),
    ("VantrelTemperatureHigh", "nvme/KXG60ZNV512G_TOSHIBA--nvme.smart",
     lambda p: set_nvme_health(p, celsius=75), "nvme/SAMSUNG_MZVL21T0HCLR-00B00--nvme.smart",
     'smartctl_device_temperature{temperature_type="current"}'),
    ("VantrelSelfTestFailed", "sata/HGST_HUS724020ALE640.smart", add_failed_self_test,
     "sata/INTEL_SSDSC2BB240G4.smart", "smartctl_device_smartctl_exit_status"),
]
# The silent side of the silent-drive edits: the same edit at a value that
# must not fire.
SILENT_EDITS = {("VantrelTemperatureHigh", "nvme/SAMSUNG_MZVL21T0HCLR-00B00--nvme.smart"):
                lambda p: set_nvme_health(p, celsius=60)}


def parse_samples(text):
    """[(name, {labels}, value)] of a metrics text's sample lines."""
    out = []
    for line in text.splitlines():
        if not line or line.startswith("#"):
            continue
        series, value = line.rsplit(" ", 1)
        name, _, rest = series.partition("{")
        labels = dict((k, json.loads(v)) for k, v in
                      re.findall(r'(\w+)=("(?:[^"\\]|\\.)*")', rest)) if rest else {}
        out.append((name, labels, value))
    return out


def selector(text):
    """(name, {label: regex}) of a simple selector such as a{b="c",d=~"e|f"}."""
    name, _, rest = text.partition("{")
    return name, {k: v for k, _, v in re.findall(r'(\w+)(=~?)"([^"]*)"', rest)}


def render(template, labels, value):
    """The annotation as Prometheus renders it: the rules use only
    {{ $labels.NAME }} and {{ $value }}."""
    number = float(value)
    shown = str(int(number)) if number.is_integer() else repr(number)
    text = re.sub(r"\{\{ \$labels\.(\w+) \}\}", lambda m: labels.get(m.group(1), ""), template)
    return text.replace("{{ $value }}", shown)


def rules_unit_test(folder):
    rules = {rule["alert"]: rule for group in yaml.safe_load(open(args.rules))["groups"]
             for rule in group["rules"] if "alert" in rule}
    tests = []
    for alert, firing, edit, silent, source in CASES:
        paths = []
        for kind, name, change in (("firing", firing, edit),
                                   ("silent", silent, SILENT_EDITS.get((alert, silent)))):
            original = os.path.join(args.captures, name)
            if not change:
                paths.append(original)
                continue
            parts = sections(open(original, "rb").read())
            change(parts)
            path = os.path.join(folder, f"{alert}-{kind}-{os.path.basename(name)}")
            open(path, "wb").write(joined(parts))
            paths.append(path)
        samples = parse_samples(metrics(paths))
        series = [{"series": "%s{%s}" % (n, ",".join(f'{k}={json.dumps(v)}'
                                                      for k, v in labels.items())),
                   "values": f"{value}x40"} for n, labels, value in samples]
        name, wanted = selector(source)
        firing_device = os.path.basename(paths[0])
        expected = []
        for n, labels, value in samples:
            if n == name and labels.get("device") == firing_device and all(
                    re.fullmatch(v, labels.get(k, "")) for k, v in wanted.items()):
                exp_labels = dict(labels, **rules[alert].get("labels", {}))
                expected.append({"exp_labels": exp_labels, "exp_annotations": {
                    k: render(v, labels, value)
                    for k, v in rules[alert].get("annotations", {}).items()}})
        if not expected:
            fail(f"{alert}: {firing_device} writes no {source} sample: the alert cannot fire "
                 "on it (its metrics lack that series)")
            continue
        tests.append({"interval": "1m", "input_series": series, "alert_rule_test": [
            {"eval_time": "30m", "alertname": alert, "exp_alerts": expected}],
            "name": f"{alert} fires for {firing_device}, silent for "
                    f"{os.path.basename(paths[1])}"})
    # A textfile not written for over 30 minutes, beside one rewritten every
    # minute and an older file that is not Vantrel's.
    stale = rules["VantrelMetricsStale"]
    labels = {"file": "/var/lib/prometheus/node-exporter/vantrel.prom", "instance": "old"}
    tests.append({"interval": "1m", "name": "VantrelMetricsStale", "input_series": [
        {"series": 'node_textfile_mtime_seconds{file="%s",instance="old"}' % labels["file"],
         "values": "0x45"},
        {"series": 'node_textfile_mtime_seconds{file="%s",instance="fresh"}' % labels["file"],
         "values": "0+60x45"},
        {"series": 'node_textfile_mtime_seconds{file="/var/lib/prometheus/node-exporter/'
                   'other.prom",instance="fresh"}', "values": "0x45"}],
        "alert_rule_test": [
            {"eval_time": "30m", "alertname": "VantrelMetricsStale", "exp_alerts": []},
            {"eval_time": "40m", "alertname": "VantrelMetricsStale", "exp_alerts": [
                {"exp_labels": dict(labels, **stale["labels"]),
                 "exp_annotations": {k: render(v, labels, "2400")
                                     for k, v in stale["annotations"].items()}}]}]})
    unit = os.path.join(folder, "rules-test.yml")
    with open(unit, "w") as f:
        json.dump({"rule_files": [os.path.abspath(args.rules)], "evaluation_interval": "1m",
                   "tests": tests}, f, indent=1)
    run = subprocess.run(["promtool", "test", "rules", unit], capture_output=True, timeout=60)
    report = (run.stdout + run.stderr).decode()
    if run.returncode != 0:
        fail("promtool test rules (each test named by its rule and drives):\n" + report)
    else:
        print(f"promtool test rules: {len(tests)} rule tests pass")


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def api(port, path, **params):
    url = f"http://127.0.0.1:{port}/api/v1/{path}?" + urllib.parse.urlencode(params)
    try:
        with urllib.request.urlopen(url, timeout=10) as answer:
            return json.load(answer)
    except urllib.error.HTTPError as error:
        return json.load(error)


def wait_for(condition, deadline):
    while time.monotonic() < deadline:
        try:
            if condition():
                return True
        except OSError:
            pass  # not listening yet
        time.sleep(0.5)
    return False


def fill(expr, variables):
    """The query as Grafana sends it: each $name or ${name} replaced, the
    longest names first."""
    for name in sorted(variables, key=len, reverse=True):
        expr = expr.replace("${%s}" % name, variables[name]).replace("$" + name, variables[name])
    return expr


def answering(result):
    """{(instance, device)} of a query's result, or {(instance, None)}
    where the result keeps no device label."""
    return {(r["metric"].get("instance"), r["metric"].get("device")) for r in result}


def check_dashboard(port, sources):
    board = json.load(open(args.dashboard))
    # Grafana's "All" of a multi-value variable: every value, as a regex.
    variables = {"__rate_interval": "1m", "__range": "5m", "__interval": "15s"}
    for variable in board["templating"]["list"]:
        match = re.fullmatch(r"label_values\((.*),\s*(\w+)\)", variable["query"]["query"]
                             if isinstance(variable["query"], dict) else variable["query"])
        found = api(port, "query", query=f"count by ({match.group(2)}) "
                                         f"({fill(match.group(1), variables)})")
        values = sorted(r["metric"].get(match.group(2), "") for r in found["data"]["result"])
        if not values:
            fail(f"dashboard variable ${variable['name']}: {variable['query']} has no values")
        # Grafana's escape of regex characters, doubled for a PromQL string.
        variables[variable["name"]] = "(" + "|".join(
            re.sub(r"([\\^$*+?.()|{}\[\]])", r"\\\\\1", v) for v in values) + ")"
    panels = 0
    for panel in board["panels"]:
        for target in panel.get("targets", []):
            panels += 1
            expr = fill(target["expr"], variables)
            answer = api(port, "query", query=expr)
            if answer.get("status") != "success":
                fail(f"dashboard panel \"{panel['title']}\": {expr}: {answer.get('error')}")
                continue
            got = {instance for instance, _ in answering(answer["data"]["result"])}
            for source in sources:
                if source not in got:
                    fail(f"dashboard panel \"{panel['title']}\": no data for {source}: {expr}")
    print(f"dashboard: {panels} panel queries run on {', '.join(sources)}")


def check_queries(port, sources):
    entries = yaml.safe_load(open(args.queries))
    blanks = {"__rate_interval": "5m", "__range": "1h", "__interval": "1m"}
    passed = 0
    for entry in entries:
        expr = fill(entry["expr"], dict(blanks, **{v: ".*" for v in entry.get("variables", [])}))
        answer = api(port, "query", query=expr)
        where = f"{entry['source']}: {expr}"
        if answer.get("status") != "success":
            fail(f"public query does not run: {where}: {answer.get('error')}")
            continue
        got = answering(answer["data"]["result"])
        wrong = False
        for drive in entry.get("drives", []):
            source, _, device = drive.partition(":")
            if source not in sources:
                continue  # that machine's metrics were not given
            if not any(i == source and d in (device, None) for i, d in got):
                there = sorted(str(d) for i, d in got if i == source)
                fail(f"public query answers nothing for {drive}"
                     f"{' (' + entry['why'] + ')' if 'why' in entry else ''}: {where}; on "
                     f"{source} it answers {', '.join(there) or 'nothing'}")
                wrong = True
        wanted = [source for source in entry.get("any", []) if source in sources]
        if wanted and not got:
            fail(f"public query answers nothing on {', '.join(wanted)}: {where}")
            wrong = True
        if not entry.get("drives") and not entry.get("any") and got:
            fail(f"public query marked as answering nothing answers {sorted(map(str, got))}: "
                 f"{where} (marked: {entry.get('empty')})")
            wrong = True
        passed += not wrong
    print(f"public queries: {passed} of {len(entries)} answer as their entries say")


def live(folder, files):
    deadline = time.monotonic() + 90
    config = {"global": {"scrape_interval": "1s", "evaluation_interval": "1s"},
              "rule_files": [os.path.abspath(args.rules)], "scrape_configs": []}
    commands = []
    for name, path in files.items():
        textfiles = os.path.join(folder, "textfile-" + name)
        os.mkdir(textfiles)
        with open(path) as source, open(os.path.join(textfiles, "vantrel.prom"), "w") as out:
            out.write(source.read())
        port = free_port()
        commands.append(["prometheus-node-exporter", f"--web.listen-address=127.0.0.1:{port}",
                         "--collector.disable-defaults", "--collector.textfile",
                         f"--collector.textfile.directory={textfiles}"])
        config["scrape_configs"].append({"job_name": name, "static_configs": [
            {"targets": [f"127.0.0.1:{port}"], "labels": {"instance": name}}]})
    server = free_port()
    with open(os.path.join(folder, "prometheus.yml"), "w") as f:
        json.dump(config, f)
    commands.append(["prometheus", f"--config.file={os.path.join(folder, 'prometheus.yml')}",
                     f"--storage.tsdb.path={os.path.join(folder, 'data')}",
                     f"--web.listen-address=127.0.0.1:{server}"])
    log = open(os.path.join(folder, "servers.log"), "wb")
    started = []
    try:
        for command in commands:
            started.append(subprocess.Popen(command, stdout=log, stderr=log))

        def loaded():
            # Every target scraped twice (rates need two samples) and every
            # rule evaluated.
            up = api(server, "query", query="count_over_time(vantrel_scan_drives[1m]) >= 2")
            groups = api(server, "rules")["data"]["groups"]
            return (len(up["data"]["result"]) == len(files) and groups and
                    all(rule.get("lastEvaluation", "").startswith("2") and
                        not rule["lastEvaluation"].startswith("0001")
                        for group in groups for rule in group["rules"]))
        if not wait_for(loaded, deadline):
            fail("live: the targets were not scraped twice or the rules not evaluated in time")
            return
        for group in api(server, "rules")["data"]["groups"]:
            for rule in group["rules"]:
                if rule.get("health") != "ok" or rule.get("lastError"):
                    fail(f"rule {rule['name']} does not evaluate on {', '.join(files)}: "
                         f"{rule.get('health')}: {rule.get('lastError')}")
        print(f"live: every rule evaluates on {', '.join(files)}")
        if args.dashboard:
            check_dashboard(server, list(files))
        if args.queries:
            check_queries(server, list(files))
    finally:
        end_servers(started, log, failures, 2000)


with tempfile.TemporaryDirectory() as folder:
    files = {}
    if args.program and args.captures:
        if not os.path.isdir(args.captures):
            print(f"skipped: no captures in {args.captures}")
            sys.exit(0)
        rules_unit_test(folder)
        shared = sorted(os.path.join(where, name) for where in
                        (args.captures, os.path.join(args.captures, "sata"),
                         os.path.join(args.captures, "nvme")) if os.path.isdir(where)
                        for name in os.listdir(where) if name.endswith(".smart"))
        files["captures"] = os.path.join(folder, "captures.prom")
        with open(files["captures"], "w") as f:
            f.write(metrics(shared))
    for given in args.metrics:
        name, _, path = given.partition("=")
        if os.path.isfile(path):
            files[name] = path
        else:
            print(f"note: no {name} metrics at {path}: its drives are not checked")
    if files:
        live(folder, files)

print(f"{len(failures)} failures (each above, marked FAIL)")
sys.exit(1 if failures else 0)
