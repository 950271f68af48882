#!/usr/bin/python3
"""The command-line sweep against the test network that tests/ping/testnet.sh
builds: live, dropped and rejected hosts, every output format read back by a
real parser, the exit statuses, and files it must refuse.

Usage (inside the test network): sweep-network-test.py PATH_TO_LUMEO
"""
import csv
import io
import json
import os
import subprocess
import sys
import time

from prometheus_client.parser import text_string_to_metric_families

from clitest import ENV, check, finish, session, work

LUMEO = sys.argv[1]
LIVE, LIVE5, DROPPED, REJECTED = "10.201.2.1", "10.201.2.5", "10.201.9.1", "10.201.9.2"


def sweep(*args, timeout=60):
    started = time.monotonic()
    p = subprocess.run([LUMEO, *args], capture_output=True, env=ENV, timeout=timeout)
    return p.returncode, p.stdout.decode("utf-8"), p.stderr.decode("utf-8"), time.monotonic() - started


# The rows and what each must end as; "comma,name" cannot be a name in a
# session file, so names with the characters CSV and JSON must escape are
# workgroups here, where a file may carry them.
ROWS = [
    ("alpha", "", 'quote"d'),       # by name: gains its address
    ("live5", LIVE5, "back\\slash"),
    ("quiet", DROPPED, "LAB"),
    ("refusing", REJECTED, "Büro"),
]
EXPECTED = {
    "alpha": ("reply", LIVE),
    "live5": ("reply", LIVE5),
    "quiet": ("timed-out", DROPPED),
    "refusing": ("host-unreachable", REJECTED),
}
mixed = session("mixed.lu", ROWS)
alive = session("alive.lu", ROWS[:2])
# The silent hosts drop or reject only ICMP: with probing off their rows end
# as a plain ping's do; the probes' own run comes after the formats.
NO_PROBES = ("--probe-ports", "")

# Text: reads like the usual ping tools; exit 0 only when every row answered.
code, out, err, took = sweep("--sweep", alive, "--timeout", "500")
lines = out.splitlines()
check("text: every row answered, exit 0", code == 0, (code, out, err))
check("text: a live row by name", any(l.startswith("alpha (%s) is alive (" % LIVE) and l.endswith(" ms)") for l in lines), out)
check("text: a live row by address", any(l.startswith("live5 (%s) is alive (" % LIVE5) for l in lines), out)

code, out, err, took = sweep("--sweep", mixed, "--timeout", "700", "--format", "text", *NO_PROBES)
lines = out.splitlines()
check("text: a silent row, exit 1", code == 1, (code, err))
check("text: four rows", len(lines) == 4, out)
check("text: dropped", "quiet (%s) is unreachable (Request timed out)" % DROPPED in lines, out)
check("text: rejected", "refusing (%s) is unreachable (Destination host unreachable)" % REJECTED in lines, out)
check("text: many rows in flight end in about one timeout", took < 3.0, took)

# CSV, read back by Python's csv module.
code, out, err, _ = sweep("--sweep", mixed, "--timeout", "700", "--format", "csv", *NO_PROBES)
check("csv: exit 1", code == 1, (code, err))
table = list(csv.DictReader(io.StringIO(out, newline="")))
check("csv: a header row and one row each", len(table) == 4, out)
csv_rows = {r["resource"]: r for r in table}
for name, (outcome, address) in EXPECTED.items():
    r = csv_rows.get(name, {})
    check("csv: %s ends as %s at %s" % (name, outcome, address),
          r.get("outcome") == outcome and r.get("address") == address, r)
check("csv: workgroups come back whole", {r["workgroup"] for r in table} == {w for _, _, w in ROWS}, table)
check("csv: a reply has its round trip in microseconds",
      int(csv_rows["live5"]["round_trip_us"]) > 0 and csv_rows["quiet"]["round_trip_us"] == "", csv_rows)
check("csv: ISO-8601 UTC times", all(r["tested_at"].endswith("Z") and "T" in r["tested_at"] for r in table), table)

# JSON Lines, read back by json.loads: typed numbers, null where absent.
code, out, err, _ = sweep("--sweep", mixed, "--timeout", "700", "--format", "json", *NO_PROBES)
check("json: exit 1", code == 1, (code, err))
objects = [json.loads(line) for line in out.splitlines()]
check("json: one object a row", len(objects) == 4, out)
json_rows = {o["resource"]: o for o in objects}
for name, (outcome, address) in EXPECTED.items():
    o = json_rows.get(name, {})
    check("json: %s ends as %s" % (name, outcome), o.get("outcome") == outcome and o.get("address") == address, o)
check("json: numbers are numbers", isinstance(json_rows["live5"]["round_trip_us"], int)
      and isinstance(json_rows["quiet"]["status"], int), json_rows["live5"])
check("json: absent values are null", json_rows["quiet"]["round_trip_us"] is None
      and json_rows["quiet"]["reply_bytes"] is None, json_rows["quiet"])
check("json and csv say the same of each row",
      all(str(json_rows[n]["status"]) == csv_rows[n]["status"] and json_rows[n]["outcome"] == csv_rows[n]["outcome"]
          for n in EXPECTED), (json_rows, csv_rows))

# OpenMetrics, read by the Prometheus client's own parser.
code, out, err, _ = sweep("--sweep", mixed, "--timeout", "700", "--format", "openmetrics", *NO_PROBES)
check("openmetrics: exit 1", code == 1, (code, err))
families = {f.name: f for f in text_string_to_metric_families(out)}
up = {s.labels["resource"]: s.value for s in families["lumeo_up"].samples}
check("openmetrics: lumeo_up of every row", up == {"alpha": 1, "live5": 1, "quiet": 0, "refusing": 0}, up)
rtt = {s.labels["resource"]: s.value for s in families["lumeo_rtt_seconds"].samples}
check("openmetrics: round trips only of rows that answered", set(rtt) == {"alpha", "live5"}
      and all(0 < v < 1 for v in rtt.values()), rtt)
labels = {s.labels["resource"]: s.labels for s in families["lumeo_up"].samples}
check("openmetrics: labels resource, address and workgroup",
      labels["alpha"] == {"resource": "alpha", "address": LIVE, "workgroup": 'quote"d'}
      and labels["live5"]["workgroup"] == "back\\slash", labels)

# With the default probe ports both silent hosts are proved up by a refused
# TCP connect (nothing listens on 22 there), and the sweep counts them as answered.
code, out, err, _ = sweep("--sweep", mixed, "--timeout", "700", "--format", "json")
probed = {o["resource"]: o for o in map(json.loads, out.splitlines())}
check("probes: silent hosts proved up, exit 0", code == 0 and all(
    probed.get(n, {}).get("outcome") == "up-without-echo" and probed[n]["probe"] == "tcp-refused"
    and probed[n]["probe_port"] == 22 for n in ("quiet", "refusing")), (code, out, err))

# Rows are printed as they complete: the live rows come long before the
# silent one's timeout ends the sweep.
p = subprocess.Popen([LUMEO, "--sweep", mixed, "--timeout", "2500", "--parallel", "4", *NO_PROBES], stdout=subprocess.PIPE,
                     env=ENV)
started = time.monotonic()
first = p.stdout.readline()
first_at = time.monotonic() - started
rest = p.stdout.read()
p.wait(timeout=30)
ended_at = time.monotonic() - started
check("rows print as they complete", first.endswith(b"ms)\n") and first_at < 1.5 and ended_at > 2.4,
      (first, first_at, ended_at))

# What cannot be used ends with status 2 and says why on standard error.
damaged = session("damaged.lu", ROWS[:1], raw="0,,ok,%s,LAB,<not tested>,,\r\nx,,B,,W,,,\r\n" % LIVE)
for what, args, says in [
    ("a missing file", ["--sweep", os.path.join(work, "missing.lu")], "no such file"),
    ("a damaged file", ["--sweep", damaged], "is damaged"),
    ("a folder", ["--sweep", work], "Cannot open file"),
    ("an unknown format", ["--sweep", alive, "--format", "xml"], "--format is one of text, csv, json, openmetrics"),
    ("too many at once", ["--sweep", alive, "--parallel", "4097"], "between 1 and 4096"),
    ("a bad probe port list", ["--sweep", alive, "--probe-ports", "22,ssh"], "port numbers from 1 to 65535"),
    ("a timeout that is no number", ["--sweep", alive, "--timeout", "soon"], "whole number"),
    ("no file", ["--sweep"], "Missing value"),
]:
    code, out, err, _ = sweep(*args)
    check("exit 2 for %s" % what, code == 2 and says in err and out == "", (code, out, err))

code, out, err, _ = sweep("--help")
check("--help documents the sweep", code == 0 and "--sweep <FILE>" in out and "--format <FORMAT>" in out, out)

sys.exit(finish())
