#!/usr/bin/env bash
# Builds a small office network of Samba servers in network namespaces, runs
# a command in it and tears everything down again.
#
#   client 10.210.1.2/24 --+
#   S1     10.210.1.11     +-- bridge (namespace "lan")
#   S2     10.210.1.12     |
#   S3     10.210.1.13     |
#   W1     10.210.1.21     |
#   L1     10.210.1.31   --+
#
# S1 and S2 are in workgroup ALPHA, S1 its local master browser (and the only
# server that speaks SMB1, which the browse list needs); S3 is alone in BETA,
# which has no master browser. Every server shares "public" to guests.
# W1 is a computer of today as Windows 10 and 11 are: wsdd announces it as
# DESK10 of workgroup OFFICE through WS-Discovery, in front of an smbd that
# speaks SMB2 and newer only, with NetBIOS switched off (no nmbd). L1 is a
# Linux desktop that only avahi-daemon announces, as "penguin" through
# multicast DNS (a workstation and an SSH service), without D-Bus.
# Another namespace, "empty", has nothing but its loopback interface.
#
# Usage: sambanet.sh COMMAND [ARGS...]
#   Runs COMMAND in the empty namespace with LUMEO_SAMBANET=empty, then in
#   the client namespace with LUMEO_SAMBANET=lan; the exit code is the worse
#   of the two. With LUMEO_SAMBANET_SHELL=1 it runs COMMAND in the client
#   namespace only (for trying the program by hand).
#
# Each server has its own configuration, state, lock, pid, cache and
# private folders, its own tmpfs on /run/samba (avahi: /run/avahi-daemon
# and its services folder) in a mount namespace of its own and its own
# session; they are stopped by their PIDs. Traffic never
# leaves these namespaces. Exit 77 means "could not build the network here".
set -u
tag=$$
ns_client=ldisc${tag}c ns_lan=ldisc${tag}l ns_empty=ldisc${tag}e
servers=(S1 S2 S3)
declare -A addr=([S1]=10.210.1.11 [S2]=10.210.1.12 [S3]=10.210.1.13)
declare -A group=([S1]=ALPHA [S2]=ALPHA [S3]=BETA)
root=$(mktemp -d /tmp/ldisc${tag}.XXXXXX)
chmod 755 "$root" # the servers read their browse lists as the guest user
all_ns=("$ns_client" "$ns_lan" "$ns_empty")
for s in "${servers[@]}" W1 L1; do all_ns+=("ldisc${tag}${s,,}"); done
addr[W1]=10.210.1.21 addr[L1]=10.210.1.31

stop_servers() {
    local pids=() f
    for f in "$root"/*/pid/*.pid; do
        [ -f "$f" ] && pids+=("$(cat "$f")")
    done
    [ ${#pids[@]} -eq 0 ] && return
    kill -TERM "${pids[@]}" 2>/dev/null
    for _ in $(seq 50); do
        kill -0 "${pids[@]}" 2>/dev/null || return
        sleep 0.1
    done
    kill -KILL "${pids[@]}" 2>/dev/null
}

cleanup() {
    stop_servers
    for ns in "${all_ns[@]}"; do ip netns del "$ns" 2>/dev/null; done
    rm -rf "/etc/netns/$ns_client" "/etc/netns/$ns_empty" "$root"
}
trap cleanup EXIT

skip() {
    echo "SKIPPED: cannot build the Samba test network here ($1); needs root, iproute2 and Samba" >&2
    exit 77
}

[ "$(id -u)" -eq 0 ] || skip "not root"
for tool in ip smbd nmbd nmblookup unshare setsid wsdd avahi-daemon; do
    command -v "$tool" >/dev/null || skip "no $tool"
done
for ns in "${all_ns[@]}"; do
    err=$(ip netns add "$ns" 2>&1) || skip "$err"
done

set -e
ip -n "$ns_lan" link add br0 type bridge
ip -n "$ns_lan" link set br0 up
plug() { # namespace, address
    ip link add eth0 netns "$1" type veth peer name "p$2" netns "$ns_lan"
    ip -n "$ns_lan" link set "p$2" master br0 up
    ip -n "$1" link set lo up
    ip -n "$1" addr add "$2/24" dev eth0
    ip -n "$1" link set eth0 up
}
plug "$ns_client" 10.210.1.2
for s in "${servers[@]}" W1 L1; do plug "ldisc${tag}${s,,}" "${addr[$s]}"; done
ip -n "$ns_empty" link set lo up
# Multicast goes out of eth0 in the namespaces that announce or ask.
for ns in "$ns_client" ldisc${tag}w1 ldisc${tag}l1; do ip -n "$ns" route add 224.0.0.0/4 dev eth0; done

# The client's own resolver files: names of the servers, no name server.
for ns in "$ns_client" "$ns_empty"; do
    mkdir -p "/etc/netns/$ns"
    printf 'nameserver 127.0.0.53\noptions timeout:1 attempts:1\n' >"/etc/netns/$ns/resolv.conf"
    printf '127.0.0.1 localhost\n' >"/etc/netns/$ns/hosts"
done
for s in "${servers[@]}"; do echo "${addr[$s]} ${s,,}" >>"/etc/netns/$ns_client/hosts"; done

# A client configuration for the readiness checks, so that the machine's own
# smb.conf plays no part.
mkdir -p "$root/client"
cat >"$root/client/smb.conf" <<CONF
[global]
client min protocol = NT1
client max protocol = NT1
name cache timeout = 0
cache directory = $root/client
lock directory = $root/client
state directory = $root/client
private dir = $root/client
CONF

# What every Samba server here has alike: its own folders for state, locks,
# PIDs, caches, secrets and logs under D, guests mapped, and a public share
# of D/share without printers.
server_files() {
    local d=$1
    cat <<CONF
server role = standalone server
security = user
map to guest = bad user
passdb backend = tdbsam:$d/private/passdb.tdb
state directory = $d/state
lock directory = $d/lock
pid directory = $d/pid
cache directory = $d/cache
private dir = $d/private
ncalrpc dir = $d/ncalrpc
log file = $d/log/log.%m
log level = 1
CONF
}
public_share() {
    local d=$1
    cat <<CONF
load printers = no
printing = bsd
printcap name = /dev/null
disable spoolss = yes

[public]
path = $d/share
guest ok = yes
read only = yes
browseable = yes
CONF
}
# Runs COMMAND in namespace NS with a mount namespace of its own (a tmpfs on
# /run/samba) and a session of its own; the daemons write their PIDs into
# their pid/ folders.
in_own_run() {
    ip netns exec "$1" setsid unshare --mount --propagation private sh -c "
        set -e
        if [ -d /run/samba ]; then mount -t tmpfs tmpfs /run/samba
        else mount -t tmpfs tmpfs /run && mkdir /run/samba; fi
        $2"
}

start_server() { # name
    local s=$1 d="$root/$1" master=no min=SMB2_02
    [ "$s" = S1 ] && master=yes min=NT1
    mkdir -p "$d"/{state,lock,pid,cache,private,log,ncalrpc,share}
    echo "a file in ${s}'s public share" >"$d/share/readme.txt"
    cat >"$d/smb.conf" <<CONF
[global]
workgroup = ${group[$s]}
netbios name = $s
server string = Lumeo test server $s
interfaces = ${addr[$s]}/24
bind interfaces only = yes
$(server_files "$d")
local master = $master
preferred master = $master
os level = $([ "$master" = yes ] && echo 65 || echo 0)
domain master = no
$([ "${group[$s]}" = ALPHA ] && [ "$s" != S1 ] && echo "remote announce = ${addr[S1]}/ALPHA")
server min protocol = $min
$(public_share "$d")
CONF
    in_own_run "ldisc${tag}${s,,}" "nmbd -D -s \"$d/smb.conf\" && smbd -D -s \"$d/smb.conf\"" </dev/null >"$d/log/start" 2>&1
}
# W1: smbd for SMB2 and newer without NetBIOS, and wsdd in front of it
# (with Debian's own Python, whatever python3 comes first in PATH).
start_w1() {
    local d="$root/W1"
    mkdir -p "$d"/{state,lock,pid,cache,private,log,ncalrpc,share}
    echo "a file in DESK10's public share" >"$d/share/readme.txt"
    cat >"$d/smb.conf" <<CONF
[global]
workgroup = OFFICE
netbios name = DESK10
disable netbios = yes
smb ports = 445
interfaces = ${addr[W1]}/24
bind interfaces only = yes
$(server_files "$d")
server min protocol = SMB2_02
$(public_share "$d")
CONF
    in_own_run "ldisc${tag}w1" "smbd -D -s \"$d/smb.conf\"" </dev/null >"$d/log/start" 2>&1 || return 1
    ip netns exec ldisc${tag}w1 setsid sh -c "echo \$\$ >\"$d/pid/wsdd.pid\"
        exec /usr/bin/python3 /usr/sbin/wsdd -i eth0 -4 -w OFFICE -n DESK10 -u nobody:nogroup" </dev/null >"$d/log/wsdd" 2>&1 &
}

# L1: avahi-daemon with its own configuration, no D-Bus, its runtime folder
# and services folder on a tmpfs and a folder of ours in its mount namespace.
start_l1() {
    local d="$root/L1"
    mkdir -p "$d"/{pid,log,services}
    cat >"$d/avahi-daemon.conf" <<CONF
[server]
host-name=penguin
domain-name=local
use-ipv4=yes
use-ipv6=no
allow-interfaces=eth0
enable-dbus=no
[wide-area]
enable-wide-area=no
[publish]
publish-addresses=yes
publish-hinfo=no
publish-workstation=yes
publish-domain=no
[reflector]
enable-reflector=no
CONF
    cat >"$d/services/ssh.service" <<'CONF'
<?xml version="1.0" standalone='no'?>
<!DOCTYPE service-group SYSTEM "avahi-service.dtd">
<service-group>
  <name replace-wildcards="yes">%h</name>
  <service><type>_ssh._tcp</type><port>22</port></service>
</service-group>
CONF
    ip netns exec ldisc${tag}l1 setsid unshare --mount --propagation private sh -c "
        set -e
        mount -t tmpfs tmpfs /run
        mkdir -p /run/avahi-daemon
        mount --bind \"$d/services\" /etc/avahi/services
        echo \$\$ >\"$d/pid/avahi.pid\"
        exec avahi-daemon -f \"$d/avahi-daemon.conf\" --no-drop-root --no-chroot --no-rlimits" \
        </dev/null >"$d/log/avahi" 2>&1 &
}

set +e
in_client() { ip netns exec "$ns_client" "$@"; }

# Ready when every server answers a node status and its SMB port, S1 is the
# master browser of ALPHA and its browse list holds S2. Bounded: 90 s.
# S1 starts first: S2 announces itself to it at start, which S1 takes only
# once it is the master browser; later announcements come minutes apart.
start_server S1 || exit 1
master_ready() {
    in_client nmblookup -s "$root/client/smb.conf" -M ALPHA 2>/dev/null | grep -q "ALPHA<1d>"
}
deadline=$((SECONDS + 90))
until master_ready; do
    if [ $SECONDS -ge $deadline ]; then
        echo "sambanet: S1 did not become the master browser of ALPHA within 90 s" >&2
        exit 1
    fi
    sleep 0.5
done
echo "sambanet: S1 is the master browser after ${SECONDS} s" >&2
for s in S2 S3; do start_server "$s" || exit 1; done
start_w1 || exit 1
start_l1

ready() {
    local s
    for s in "${servers[@]}"; do
        waiting_for="node status of $s"
        in_client nmblookup -s "$root/client/smb.conf" -A "${addr[$s]}" 2>/dev/null | grep -q "<00> - *<GROUP>" || return 1
        waiting_for="SMB port of $s"
        in_client bash -c "exec 3<>/dev/tcp/${addr[$s]}/445" 2>/dev/null || return 1
    done
    waiting_for="S2 in the browse list of S1"
    grep -qs '^"S2"' "$root/S1/cache/browse.dat" || return 1
    waiting_for="SMB port and WS-Discovery service of W1"
    in_client bash -c "exec 3<>/dev/tcp/${addr[W1]}/445" 2>/dev/null || return 1
    in_client bash -c "exec 3<>/dev/tcp/${addr[W1]}/5357" 2>/dev/null || return 1
    waiting_for="avahi-daemon on L1"
    grep -qs "Server startup complete" "$root/L1/log/avahi" || return 1
}
until ready; do
    if [ $SECONDS -ge $deadline ]; then
        echo "sambanet: the servers did not get ready within 90 s (waiting for $waiting_for)" >&2
        for s in "${servers[@]}"; do tail -n 5 "$root/$s/log/log.nmbd" >&2; done
        tail -n 5 "$root/W1/log/wsdd" "$root/L1/log/avahi" >&2
        exit 1
    fi
    sleep 1
done
echo "sambanet: servers ready after ${SECONDS} s" >&2

if [ "${LUMEO_SAMBANET_SHELL:-0}" = 1 ]; then
    LUMEO_SAMBANET=lan ip netns exec "$ns_client" "$@"
    exit $?
fi
LUMEO_SAMBANET=empty ip netns exec "$ns_empty" "$@"
first=$?
LUMEO_SAMBANET=lan ip netns exec "$ns_client" "$@"
second=$?
[ $first -ne 0 ] && exit $first
exit $second
