"""What the command line's network tests share: checks that are counted and
reported, a folder and settings of the test's own, and session files."""
import os
import tempfile

failures = []


def check(what, condition, detail=""):
    if condition:
        print("ok:", what)
    else:
        failures.append(what)
        print("FAIL:", what, detail)


def finish():
    """Reports the failures and gives the exit status."""
    print("%d failures" % len(failures))
    return 1 if failures else 0


work = tempfile.mkdtemp(prefix="lumeo-cli-")
# A settings folder of our own: the stored settings are the defaults.
ENV = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"), LC_ALL="C.UTF-8")
for name in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
    ENV.pop(name, None)  # the command line needs no display


def session(name, rows, raw=None):
    """A session file of ROWS (resource, address, workgroup), after RAW."""
    path = os.path.join(work, name)
    with open(path, "w", newline="") as f:
        if raw is not None:
            f.write(raw)
        for resource, address, workgroup in rows:
            f.write("0,,%s,%s,%s,<not tested>,,\r\n" % (resource, address, workgroup))
    return path
