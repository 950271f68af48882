#!/usr/bin/env bash
# Proves the package on a fresh Debian 12: installs it with apt into a copy
# of a bookworm root (made with `debootstrap --variant=minbase bookworm
# ROOT`), checks the capability the post-install step gave, then starts the
# program as a normal user through its desktop entry's Exec line, with a
# session file holding 127.0.0.1, under Xvfb, inside a network namespace of
# its own that has nothing but loopback, pings from the window and takes a
# screenshot. Run as root; needs xdotool, tshark and ImageMagick's import.
# Usage: install-on-debian.sh FRESH_ROOT DEB DISPLAY SCREENSHOT
set -euo pipefail
fresh=$1
deb=$2
display=$3
shot=$4
work=$(mktemp -d /var/tmp/lhard-debian.XXXXXX)
root=$work/root
ns=lhard$$
mounted=()
xvfb= app= capture=
cleanup() {
  set +e
  [ -n "$app" ] && kill -- "-$app" 2>/dev/null
  [ -n "$capture" ] && kill "$capture" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[i]}"; done
  ip netns del "$ns" 2>/dev/null
  rm -rf "/etc/netns/$ns" "$work"
}
trap cleanup EXIT
bindmount() { mount "$@"; mounted+=("${!#}"); }

echo "== a fresh root"
cp -a "$fresh" "$root"
bindmount -t proc proc "$root/proc"
bindmount --bind /dev "$root/dev"
bindmount --bind /dev/pts "$root/dev/pts"
cp /etc/resolv.conf "$root/etc/resolv.conf" # for apt only; the program runs without a network
# Nothing the package pulls in may start a service here.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"
cp "$deb" "$root/tmp/"

echo "== apt install ./$(basename "$deb")"
chroot "$root" apt-get -qq update
chroot "$root" sh -c "cd /tmp && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends ./$(basename "$deb")" \
  | grep -vE '^(Get|Selecting|Preparing|Unpacking|Setting up|Processing)' || true
chroot "$root" dpkg-query -W -f='${Package} ${Version} ${Status}\n' lumeo
echo "== capability: $(chroot "$root" getcap /usr/bin/lumeo)"
chroot "$root" getcap /usr/bin/lumeo | grep -q 'cap_net_raw=ep'

echo "== a normal user and a session file"
chroot "$root" useradd -m ann
printf '0,,loopback,127.0.0.1,LAB,<not tested>,,\r\n' >"$root/home/ann/office.lu"
chroot "$root" chown ann:ann /home/ann/office.lu

echo "== the namespace: loopback only"
ip netns add "$ns"
ip -n "$ns" link set lo up
mkdir -p "/etc/netns/$ns"
echo "127.0.0.1 localhost" >"/etc/netns/$ns/hosts"
: >"/etc/netns/$ns/resolv.conf"
printf '127.0.0.1 localhost\n' >"$root/etc/hosts"
: >"$root/etc/resolv.conf"
# Pings on this namespace's loopback, counted apart from the window's word.
ip netns exec "$ns" tshark -q -i lo -f icmp -w "$work/icmp.pcap" 2>"$work/tshark.log" &
capture=$!
for _ in $(seq 50); do grep -q Capturing "$work/tshark.log" && break; sleep 0.1; done

Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 50); do [ -S "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
mkdir -p "$root/tmp/.X11-unix"
bindmount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"

exec_line=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/com.korvell.Lumeo.desktop")
command=${exec_line//%f//home/ann/office.lu}
echo "== Exec=$exec_line, started as: $command"
setsid ip netns exec "$ns" chroot "$root" runuser -u ann -- \
  env -i HOME=/home/ann USER=ann PATH=/usr/bin:/bin DISPLAY="$display" sh -c "$command" >"$work/app.log" 2>&1 &
app=$!
wid=
for _ in $(seq 100); do
  wid=$(DISPLAY=$display xdotool search --name '^Lumeo' 2>/dev/null | head -1) && [ -n "$wid" ] && break
  sleep 0.1
done
[ -n "$wid" ] || { cat "$work/app.log"; echo "no Lumeo window"; exit 1; }
sleep 2
echo "== window: $(DISPLAY=$display xdotool getwindowname "$wid")"
# Ping (Ctrl+G). With no window manager the window is given the keyboard
# by hand, and a click on the list makes it Qt's active window.
DISPLAY=$display xdotool windowfocus --sync "$wid" mousemove --window "$wid" 400 300 click 1 key ctrl+g
sleep 3
import -window root -display "$display" "$shot"
kill "$capture"
wait "$capture" 2>/dev/null || true
capture=
echo "== ICMP on the namespace's loopback:"
tshark -r "$work/icmp.pcap" 2>/dev/null | sed 's/^/   /'
echo "== program output:"
sed 's/^/   /' "$work/app.log"
tshark -r "$work/icmp.pcap" -Y 'icmp.type == 0' 2>/dev/null | grep -q . || { echo "no echo reply seen"; exit 1; }
echo "== done; screenshot in $shot"
