#!/usr/bin/env bash
# Runs the window's monitor test (its first argument) with a session bus of
# its own: a private dbus-daemon, the fake notification service (the second
# argument) owning org.freedesktop.Notifications on it, and dbus-monitor
# recording what crosses the bus. Meant to run inside the test network:
#
#   testnet.sh monitornet.sh TEST_PROGRAM FAKE_NOTIFICATION_SERVICE
#
# Everything it starts it ends again by its process id; exit 77 (skipped)
# where no dbus-daemon is installed.
set -u
test_program=$1 service=$2
command -v dbus-daemon >/dev/null || { echo "SKIPPED: no dbus-daemon" >&2; exit 77; }

work=$(mktemp -d /tmp/lumeo-monitornet.XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT

# A bus that starts nothing on demand, so that only our service answers.
cat >"$work/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$work</listen>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
dbus-daemon --config-file="$work/bus.conf" --nofork --print-address=1 >"$work/address" &
pids+=($!)
for ((i = 0; i < 100; i++)); do
    [ -s "$work/address" ] && break
    sleep 0.05
done
[ -s "$work/address" ] || { echo "the private bus did not start" >&2; exit 1; }
DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/address")
export DBUS_SESSION_BUS_ADDRESS

"$service" "$work/notifications" &
pids+=($!)
if command -v dbus-monitor >/dev/null; then
    stdbuf -oL dbus-monitor --session "interface='org.freedesktop.Notifications'" >"$work/bus.log" 2>&1 &
    pids+=($!)
    export LUMEO_DBUS_MONITOR_LOG="$work/bus.log"
fi
owned=false
for ((i = 0; i < 100; i++)); do
    if dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
        string:org.freedesktop.Notifications 2>/dev/null | grep -q "boolean true"; then
        owned=true
        break
    fi
    sleep 0.05
done
$owned || { echo "the fake notification service did not come up" >&2; exit 1; }
sleep 0.2 # dbus-monitor's match is in place

LUMEO_NOTIFICATION_RECORD="$work/notifications" "$test_program"
