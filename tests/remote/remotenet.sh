#!/usr/bin/env bash
# Builds a small office network in network namespaces, runs one command in
# its client namespace, and tears everything down again.
#
#   client 10.211.1.2  ---+--- DEFSRV 10.211.1.10  smbd (default protocols), nmbd as WINS server
#   (one subnet, bridged) +--- NYSRV  10.211.1.11  smbd limited to NT1, TZ=America/New_York, nmbd
#                         +--- INSRV  10.211.1.12  smbd limited to NT1, TZ=Asia/Kolkata, nmbd
#
# Each Samba server runs in its own namespace with its own configuration,
# state, lock, pid and cache folders, and its own tmpfs on /run/samba (a
# mount namespace); it is stopped by its PID. The client's hosts file
# knows "nyhost" (10.211.1.11), a name NetBIOS does not; its name server is
# one that does not exist, so other names fail at once.
#
# The command gets LREM_NS_<server> (the namespace of each server) and
# LREM_TESTNET=1. Traffic never leaves these namespaces. Exit 77 means
# "could not build the network here" and makes the test count as skipped.
set -u
tag=$$
sw=lrem${tag}sw c=lrem${tag}c
servers=(DEFSRV NYSRV INSRV)
declare -A addr=([DEFSRV]=10.211.1.10 [NYSRV]=10.211.1.11 [INSRV]=10.211.1.12)
declare -A zone=([DEFSRV]=UTC [NYSRV]=America/New_York [INSRV]=Asia/Kolkata)
declare -A ns=([DEFSRV]=lrem${tag}s1 [NYSRV]=lrem${tag}s2 [INSRV]=lrem${tag}s3)
work=$(mktemp -d /tmp/lrem${tag}.XXXXXX)
pids=()

cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    for p in "${pids[@]}"; do
        for _ in $(seq 50); do kill -0 "$p" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$p" 2>/dev/null
    done
    # Children the servers forked (one per connection) go with their namespace.
    for n in "$c" "$sw" "${ns[@]}"; do
        for p in $(ip netns pids "$n" 2>/dev/null); do kill -9 "$p" 2>/dev/null; done
        ip netns del "$n" 2>/dev/null
    done
    rm -rf "/etc/netns/$c" "$work"
}
trap cleanup EXIT

skip() {
    echo "SKIPPED: cannot build the test network here ($1); needs root, iproute2, unshare and Samba" >&2
    exit 77
}

[ "$(id -u)" -eq 0 ] || skip "not root"
for tool in ip unshare setsid smbd nmbd; do
    command -v "$tool" >/dev/null || skip "no $tool"
done
for n in "$sw" "$c" "${ns[@]}"; do
    err=$(ip netns add "$n" 2>&1) || skip "$err"
done

set -e
ip -n "$sw" link add br0 type bridge
ip -n "$sw" link set br0 up
join() { # namespace, address, port name on the switch
    ip link add eth0 netns "$1" type veth peer name "$3" netns "$sw"
    ip -n "$sw" link set "$3" master br0 up
    ip -n "$1" link set lo up
    ip -n "$1" addr add "$2/24" brd + dev eth0
    ip -n "$1" link set eth0 up
}
join "$c" 10.211.1.2 pc
i=0
for s in "${servers[@]}"; do
    i=$((i + 1))
    join "${ns[$s]}" "${addr[$s]}" "p$i"
done

mkdir -p "/etc/netns/$c"
printf '127.0.0.1 localhost\n10.211.1.11 nyhost\n' >"/etc/netns/$c/hosts"
printf 'nameserver 127.0.0.1\noptions timeout:1 attempts:1\n' >"/etc/netns/$c/resolv.conf"

# One Samba server: its configuration and folders, then smbd and nmbd.
start_server() {
    local s=$1 dir=$work/$1 protocols=
    mkdir -p "$dir"/{lock,state,cache,pid,private,ncalrpc,binddns,log}
    if [ "$s" != DEFSRV ]; then
        protocols=$'server min protocol = NT1\n  server max protocol = NT1'
    else
        protocols='wins support = yes' # answers "not here" for names it does not hold
    fi
    cat >"$dir/smb.conf" <<CONF
[global]
  netbios name = $s
  workgroup = LREMTEST
  server role = standalone server
  interfaces = ${addr[$s]}/24
  bind interfaces only = yes
  smb ports = 445
  $protocols
  lock directory = $dir/lock
  state directory = $dir/state
  cache directory = $dir/cache
  pid directory = $dir/pid
  private dir = $dir/private
  ncalrpc dir = $dir/ncalrpc
  binddns dir = $dir/binddns
  log file = $dir/log/%m.log
  load printers = no
  printcap name = /dev/null
  disable spoolss = yes
  local master = no
  domain master = no
  preferred master = no
CONF
    for daemon in smbd nmbd; do
        # A session of its own: a Samba daemon that stops signals its whole
        # process group, which must not be this script's.
        ip netns exec "${ns[$s]}" setsid unshare --mount --propagation private sh -c \
            'mount -t tmpfs -o size=8m,mode=0755 lremsamba /run/samba && exec env TZ="$1" "$2" -F --no-process-group -s "$3"' \
            sh "${zone[$s]}" "$daemon" "$dir/smb.conf" >"$dir/log/$daemon.out" 2>&1 &
        pids+=($!)
    done
}
for s in "${servers[@]}"; do start_server "$s"; done
set +e

# Ready when every smbd takes connections (a few seconds at most).
for s in "${servers[@]}"; do
    ready=0
    for _ in $(seq 100); do
        if ip netns exec "$c" bash -c "exec 3<>/dev/tcp/${addr[$s]}/445" 2>/dev/null; then ready=1; break; fi
        sleep 0.1
    done
    [ "$ready" -eq 1 ] || { echo "smbd of $s did not start:" >&2; cat "$work/$s/log/smbd.out" >&2; exit 1; }
done

# nmbd answers broadcast queries once it has registered its names.
if command -v nmblookup >/dev/null; then
    for s in "${servers[@]}"; do
        for _ in $(seq 20); do
            ip netns exec "$c" timeout 2 nmblookup -s /dev/null -B 10.211.1.255 "$s" 2>/dev/null | grep -q "^${addr[$s]} " && break
            sleep 0.5
        done
    done
fi

env_vars=(LREM_TESTNET=1)
for s in "${servers[@]}"; do env_vars+=("LREM_NS_$s=${ns[$s]}"); done
env "${env_vars[@]}" ip netns exec "$c" "$@"
