"""The servers a Prometheus test starts, ended however the test ends."""
import subprocess
import sys


def end_servers(started, log, failed, tail):
    """Ends every process in started (asked first, killed after 10 s),
    closes their shared log, and where the test failed shows the log's last
    tail bytes on standard error."""
    for process in started:
        process.terminate()
    for process in started:
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
    log.close()
    if failed:
        sys.stderr.write(open(log.name, errors="replace").read()[-tail:])
