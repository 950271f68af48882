#!/usr/bin/python3
"""The command-line monitor against the test network that tests/ping/testnet.sh
builds: rounds as they complete, a host switched off and on again with nft
(one "down" after three failed rounds, one "up"), a host that drops every
other round (never an alert), SIGINT and SIGTERM ending the watch after the
round in flight (a second signal at once), and OpenMetrics replacing its file
after every round.

Usage (inside the test network): monitor-network-test.py PATH_TO_LUMEO
"""
import os
import select
import signal
import subprocess
import sys
import time

from prometheus_client.parser import text_string_to_metric_families

import clitest
from clitest import ENV, check, finish, work

LUMEO = sys.argv[1]
HOSTS_NS = os.environ["LUMEO_TESTNET_HOSTS_NS"]
STEADY, FLAKY, DROPPED = "10.201.2.5", "10.201.2.6", "10.201.9.1"


def session(name, rows):
    return clitest.session(name, [(resource, address, "LAB") for resource, address in rows])


def nft(*commands):
    """Runs nft commands in the hosts' namespace (the test network's own)."""
    subprocess.run(["ip", "netns", "exec", HOSTS_NS, "nft", *commands], check=True)


def drop_echoes_to(address, on):
    if on:
        nft("add", "rule", "inet", "lumeo_test", "input", "ip", "daddr", address,
            "icmp", "type", "echo-request", "drop", "comment", '"monitor %s"' % address)
        return
    listing = subprocess.run(["ip", "netns", "exec", HOSTS_NS, "nft", "-a", "list", "chain", "inet", "lumeo_test",
                              "input"], capture_output=True, text=True, check=True).stdout
    for line in listing.splitlines():
        if '"monitor %s"' % address in line:
            nft("delete", "rule", "inet", "lumeo_test", "input", "handle", line.rsplit("handle", 1)[1].strip())


def start(*args):
    return subprocess.Popen([LUMEO, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=ENV)


class Lines:
    """Reads a process's standard output and error line by line, with a bound."""

    def __init__(self, process):
        self.process = process
        self.out, self.err = [], []
        self.partial = {process.stdout: b"", process.stderr: b""}

    def pump(self, seconds):
        ready, _, _ = select.select([self.process.stdout, self.process.stderr], [], [], seconds)
        for stream in ready:
            chunk = os.read(stream.fileno(), 65536)
            if not chunk:
                continue
            data = self.partial[stream] + chunk
            *whole, self.partial[stream] = data.split(b"\n")
            (self.out if stream is self.process.stdout else self.err).extend(l.decode() for l in whole)

    def until(self, condition, seconds):
        ends = time.monotonic() + seconds
        while not condition() and time.monotonic() < ends and self.process.poll() is None:
            self.pump(0.1)
        self.pump(0)
        return condition()

    def finish(self, seconds):
        self.process.wait(timeout=seconds)
        for stream in (self.process.stdout, self.process.stderr):
            rest = self.partial[stream] + stream.read()
            (self.out if stream is self.process.stdout else self.err).extend(
                l.decode() for l in rest.split(b"\n") if l)
        return self.process.returncode


def rows_of(lines, name):
    return [l for l in lines if l.startswith(name + " (")]


# 1. Alerts: "steady" is switched off after two rounds and on again once it
# is down; "flaky" drops every other round and must never alert.
watched = session("watched.lu", [("steady", STEADY), ("flaky", FLAKY)])
p = start("--monitor", watched, "--interval", "1", "--timeout", "300", "--probe-ports", "")
lines = Lines(p)
try:
    check("rounds print as they complete", lines.until(lambda: len(rows_of(lines.out, "steady")) >= 2, 10),
          lines.out)
    drop_echoes_to(STEADY, True)
    flaky_off = False
    # Toggle flaky after each of its rows, until steady is down.
    seen = len(rows_of(lines.out, "flaky"))
    ends = time.monotonic() + 20
    while time.monotonic() < ends and not any("steady down" in l for l in lines.err):
        lines.until(lambda: len(rows_of(lines.out, "flaky")) > seen, 3)
        seen = len(rows_of(lines.out, "flaky"))
        flaky_off = not flaky_off
        drop_echoes_to(FLAKY, flaky_off)
    down = [l for l in lines.err if "steady down" in l]
    check("a host switched off is down after 3 failed rounds",
          len(down) == 1 and down[0].endswith("steady down after 3 failed rounds")
          and rows_of(lines.out, "steady")[-1].endswith("is unreachable (Request timed out)"), (lines.err, lines.out))
    drop_echoes_to(STEADY, False)
    check("and up again after one answered round",
          lines.until(lambda: any("steady up, " in l for l in lines.err), 5), lines.err)
    # Three more rounds of flapping, then the end.
    for _ in range(3):
        lines.until(lambda: len(rows_of(lines.out, "flaky")) > seen, 3)
        seen = len(rows_of(lines.out, "flaky"))
        flaky_off = not flaky_off
        drop_echoes_to(FLAKY, flaky_off)
    flaky_rows = rows_of(lines.out, "flaky")
    check("the flapping host failed some rounds", any("unreachable" in l for l in flaky_rows), flaky_rows)
    p.send_signal(signal.SIGINT)
    code = lines.finish(10)
    check("SIGINT ends the watch with status 0", code == 0, (code, lines.err))
    check("one down and one up for the host switched off, none for the flapping one",
          sum("steady down" in l for l in lines.err) == 1 and sum("steady up" in l for l in lines.err) == 1
          and not any("flaky" in l for l in lines.err), lines.err)
finally:
    if p.poll() is None:
        p.kill()
    drop_echoes_to(STEADY, False)
    drop_echoes_to(FLAKY, False)

# 2. A signal ends the watch after the round in flight: the silent row's
# 2 s timeout still ends in a line. A second signal ends it at once.
slow = session("slow.lu", [("steady", STEADY), ("quiet", DROPPED)])
for what, signals in [("SIGTERM", [signal.SIGTERM]), ("SIGINT twice", [signal.SIGINT, signal.SIGINT])]:
    p = start("--monitor", slow, "--interval", "5", "--timeout", "2000", "--probe-ports", "", "--format", "csv")
    lines = Lines(p)
    lines.until(lambda: any(l.startswith("steady,") for l in lines.out), 5)
    sent = time.monotonic()
    for s in signals:
        p.send_signal(s)
        time.sleep(0.1)
    code = lines.finish(10)
    took = time.monotonic() - sent
    quiet = [l for l in lines.out if l.startswith("quiet,")]
    if len(signals) == 1:
        check("%s: the round in flight ends first, then status 0" % what,
              code == 0 and len(quiet) == 1 and ",timed-out," in quiet[0] and 1.0 < took < 4.0,
              (code, took, lines.out, lines.err))
    else:
        check("%s: ends at once, without the round's silent row" % what,
              code == 0 and not quiet and took < 1.5, (code, took, lines.out, lines.err))
    check("%s: one CSV header" % what, sum(l.startswith("resource,") for l in lines.out) == 1, lines.out)

# 3. OpenMetrics to a file: replaced whole after each round, nothing on
# standard output, no temporary file left beside it.
folder = os.path.join(work, "textfile")
os.mkdir(folder)
target = os.path.join(folder, "lumeo.prom")
p = start("--monitor", watched, "--interval", "1", "--timeout", "300", "--probe-ports", "",
          "--format", "openmetrics", "--output", target)
inodes, expositions = set(), []
ends = time.monotonic() + 10
while len(inodes) < 3 and time.monotonic() < ends:
    try:
        with open(target) as f:
            inodes.add(os.fstat(f.fileno()).st_ino)
            expositions.append(f.read())
    except FileNotFoundError:
        pass
    time.sleep(0.05)
p.send_signal(signal.SIGTERM)
lines = Lines(p)
code = lines.finish(10)
check("openmetrics: the file is replaced after each round", len(inodes) >= 3, inodes)
parsed = []
for text in expositions:
    try:
        families = {f.name: f for f in text_string_to_metric_families(text)}
        parsed.append({s.labels["resource"]: s.value for s in families["lumeo_up"].samples})
    except Exception as e:  # a torn file is the fault this guards against
        parsed.append(repr(e))
check("openmetrics: every reading is a whole round", all(u == {"steady": 1, "flaky": 1} for u in parsed), parsed)
check("openmetrics: status 0, nothing on standard output, only the file in its folder",
      code == 0 and lines.out == [] and os.listdir(folder) == ["lumeo.prom"], (code, lines.out, os.listdir(folder)))

# 4. What cannot be used ends with status 2 before any round.
for what, args, says in [
    ("--interval without --monitor", ["--sweep", watched, "--interval", "5"], "--interval is for --monitor"),
    ("an interval of 0", ["--monitor", watched, "--interval", "0"], "from 1 to 3600"),
    ("both commands", ["--monitor", watched, "--sweep", watched], "either --sweep FILE or --monitor FILE"),
    ("--output for a streaming format", ["--monitor", watched, "--output", target, "--format", "csv"],
     "--output is for --format openmetrics"),
]:
    r = subprocess.run([LUMEO, *args], capture_output=True, env=ENV, timeout=30)
    check("exit 2 for %s" % what, r.returncode == 2 and says in r.stderr.decode() and r.stdout == b"",
          (r.returncode, r.stdout, r.stderr))

sys.exit(finish())
