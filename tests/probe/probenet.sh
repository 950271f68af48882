#!/usr/bin/env bash
# Builds a subnet of machines that drop echo in network namespaces, runs one
# command in its client namespace and tears everything down again.
#
#   client 10.215.1.2/24 ---+--- bridge ---+--- 10.215.1.10  drops echo, listens on TCP 445 (drops other ports)
#   router 10.215.1.1 ------+              +--- 10.215.1.11  drops echo, refuses every port with a reset
#     |                                    +--- 10.215.1.12  drops echo, listens on TCP 22 (drops other ports)
#   10.215.2.1/24                          +--- 10.215.1.13  drops every IPv4 packet: only ARP answers
#     |                                    +--- 10.215.1.14  answers echo (closed ports reset)
#   dark 10.215.2.2: drops everything sent to 10.215.32.0/19
#
# The command gets the addresses and each host's MAC (as its own veth has
# it) in the environment:
#   LUMEO_PROBENET=1, LUMEO_PROBENET_CLIENT, LUMEO_PROBENET_ROUTER,
#   LUMEO_PROBENET_SMB, LUMEO_PROBENET_REFUSING, LUMEO_PROBENET_SSH,
#   LUMEO_PROBENET_ARPONLY, LUMEO_PROBENET_ECHO (and each with _MAC after it),
#   LUMEO_PROBENET_OFFLINK (one silent address behind the router) and
#   LUMEO_PROBENET_OFFLINK_NET (10.215.32.0/19, all of it silent).
# The client may send ICMP echo without privilege; its resolver knows no
# name server, so no lookup leaves it.
#
# Traffic never leaves these namespaces. Exit 77 means "could not build the
# network here" and makes the test count as skipped.
set -u
tag=$$
client=lpc$tag switch=lps$tag router=lpr$tag dark=lpd$tag
hosts=(smb refusing ssh arponly echo)
declare -A ns=() addr=([smb]=10.215.1.10 [refusing]=10.215.1.11 [ssh]=10.215.1.12 [arponly]=10.215.1.13 [echo]=10.215.1.14)
for h in "${hosts[@]}"; do ns[$h]=lph${h:0:3}$tag; done
all=("$client" "$switch" "$router" "$dark" "${ns[@]}")
listeners=()

cleanup() {
    for p in "${listeners[@]}"; do kill "$p" 2>/dev/null; done
    for p in "${listeners[@]}"; do wait "$p" 2>/dev/null; done
    for n in "${all[@]}"; do ip netns del "$n" 2>/dev/null; done
    rm -rf "/etc/netns/$client"
}
trap cleanup EXIT

skip() {
    echo "SKIPPED: cannot build the probe network here ($1); needs root, iproute2, nftables and python3" >&2
    exit 77
}
[ "$(id -u)" -eq 0 ] || skip "not root"
for tool in ip nft ss /usr/bin/python3; do
    command -v "$tool" >/dev/null || skip "no $tool"
done
for n in "${all[@]}"; do
    err=$(ip netns add "$n" 2>&1) || skip "$err"
done

set -e
ip -n "$switch" link add br0 type bridge
ip -n "$switch" link set br0 up
# Joins namespace $1 to the bridge with its eth0 at address $2.
join() {
    ip link add eth0 netns "$1" type veth peer name "p$3" netns "$switch"
    ip -n "$switch" link set "p$3" master br0 up
    ip -n "$1" link set lo up
    ip -n "$1" addr add "$2/24" dev eth0
    ip -n "$1" link set eth0 up
}
join "$client" 10.215.1.2 0
join "$router" 10.215.1.1 1
i=2
for h in "${hosts[@]}"; do
    join "${ns[$h]}" "${addr[$h]}" $i
    ip -n "${ns[$h]}" route add default via 10.215.1.1
    i=$((i + 1))
done
ip -n "$client" route add default via 10.215.1.1

ip link add r1 netns "$router" type veth peer name eth0 netns "$dark"
ip -n "$router" addr add 10.215.2.1/24 dev r1
ip -n "$router" link set r1 up
ip -n "$router" route add 10.215.32.0/19 via 10.215.2.2
ip -n "$dark" link set lo up
ip -n "$dark" addr add 10.215.2.2/24 dev eth0
ip -n "$dark" link set eth0 up
ip netns exec "$router" sysctl -qw net.ipv4.ip_forward=1
ip netns exec "$client" sysctl -qw net.ipv4.ping_group_range="0 2147483647"

# Silent before routing, so that nobody behind the router answers, not even
# with an ICMP error.
ip netns exec "$dark" nft -f - <<'NFT'
table inet lumeo_probe {
    chain prerouting {
        type filter hook prerouting priority -300; policy accept;
        ip daddr 10.215.32.0/19 drop
    }
}
NFT
# rules HOST: the input chain of HOST's firewall.
rules() {
    ip netns exec "${ns[$1]}" nft -f - <<NFT
table inet lumeo_probe {
    chain input {
        type filter hook input priority 0; policy accept;
        $2
    }
}
NFT
}
rules smb 'icmp type echo-request drop; tcp dport != 445 drop'
rules refusing 'icmp type echo-request drop; meta l4proto tcp reject with tcp reset'
rules ssh 'icmp type echo-request drop; tcp dport != 22 drop'
rules arponly 'meta nfproto ipv4 drop'

# listen HOST PORT: a service that takes connections and closes them.
listen() {
    ip netns exec "${ns[$1]}" /usr/bin/python3 -c '
import socket, sys
server = socket.create_server(("0.0.0.0", int(sys.argv[1])), backlog=1024)
while True:
    connection, _ = server.accept()
    connection.close()
' "$2" &
    listeners+=($!)
    for _ in $(seq 100); do
        [ -n "$(ip netns exec "${ns[$1]}" ss -Hltn "sport = :$2")" ] && return 0
        sleep 0.05
    done
    echo "probenet: the listener on $1:$2 did not start" >&2
    return 1
}
listen smb 445
listen ssh 22

mkdir -p "/etc/netns/$client"
printf 'nameserver 127.0.0.53\noptions timeout:1 attempts:1\n' >"/etc/netns/$client/resolv.conf"
printf '127.0.0.1 localhost\n' >"/etc/netns/$client/hosts"

export LUMEO_PROBENET=1 LUMEO_PROBENET_CLIENT=10.215.1.2 LUMEO_PROBENET_ROUTER=10.215.1.1
export LUMEO_PROBENET_OFFLINK=10.215.32.1 LUMEO_PROBENET_OFFLINK_NET=10.215.32.0/19
for h in "${hosts[@]}"; do
    name=LUMEO_PROBENET_${h^^}
    export "$name=${addr[$h]}"
    export "${name}_MAC=$(ip -n "${ns[$h]}" -br link show eth0 | awk '{print $3}')"
done
set +e

ip netns exec "$client" "$@"
