#!/usr/bin/env bash
# Builds a subnet where other machines answer the scan the way hostile or
# broken peers do, runs one command in its client namespace and tears it all
# down again.
#
#   client 10.212.1.2/24 ---- veth ---- peers: 10.212.1.9 and 10.212.1.20-39
#
# The peers' namespace holds the addresses; which of them answer, and how,
# is up to the command: it starts tests/discovery/hostile-peer.py there as
# it needs, with `ip netns exec "$LUMEO_HOSTILE_PEERS" ...`. The command
# gets LUMEO_HOSTILE_PEERS (the peers' namespace) and LUMEO_HOSTILE_NET=1.
# The client's resolver knows no name server, so no lookup leaves it.
# Traffic never leaves these namespaces. Exit 77: the network cannot be
# built here, and the tests count as skipped.
set -u
tag=$$
client=lhost${tag}c peers=lhost${tag}p
cleanup() {
    for n in "$client" "$peers"; do
        for p in $(ip netns pids "$n" 2>/dev/null); do kill -9 "$p" 2>/dev/null; done
        ip netns del "$n" 2>/dev/null
    done
    rm -rf "/etc/netns/$client"
}
trap cleanup EXIT

skip() {
    echo "SKIPPED: cannot build the hostile-peer network here ($1); needs root, iproute2 and python3" >&2
    exit 77
}
[ "$(id -u)" -eq 0 ] || skip "not root"
for tool in ip python3; do
    command -v "$tool" >/dev/null || skip "no $tool"
done
for n in "$client" "$peers"; do
    err=$(ip netns add "$n" 2>&1) || skip "$err"
done

set -e
ip link add eth0 netns "$client" type veth peer name eth0 netns "$peers"
for n in "$client" "$peers"; do
    ip -n "$n" link set lo up
    ip -n "$n" link set eth0 up
done
ip -n "$client" addr add 10.212.1.2/24 dev eth0
ip -n "$peers" addr add 10.212.1.9/24 dev eth0
for i in $(seq 20 39); do ip -n "$peers" addr add "10.212.1.$i/24" dev eth0; done
mkdir -p "/etc/netns/$client"
printf 'nameserver 127.0.0.53\noptions timeout:1 attempts:1\n' >"/etc/netns/$client/resolv.conf"
printf '127.0.0.1 localhost\n' >"/etc/netns/$client/hosts"
set +e

LUMEO_HOSTILE_PEERS=$peers LUMEO_HOSTILE_NET=1 ip netns exec "$client" "$@"
