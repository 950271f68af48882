#!/usr/bin/env bash
# Builds a private test network in network namespaces, runs one command in
# its client namespace, and tears everything down again.
#
#   client (10.201.0.2) --- router (10.201.0.1 | 10.201.1.1) --- hosts (10.201.1.2)
#
# The hosts namespace answers for 10.201.2.1 .. 10.201.2.(LUMEO_TESTNET_HOSTS)
# (spilling into 10.201.3.x), drops echoes to 10.201.9.1 and rejects those to
# 10.201.9.2 with host-unreachable. It also drops the echoes to the silent
# hosts 10.201.8.1 .. 10.201.8.(LUMEO_TESTNET_SILENT), and answers for
# 10.201.10.1 .. 10.201.10.250, towards which the router passes at most 1500
# echo requests a second (in bursts of 5), as a router that limits ICMP
# does. Nobody has 10.201.1.200 .. 10.201.1.250 on the router's link to the
# hosts: like a switched-off workstation on its LAN, the router reports
# host-unreachable once its address lookup gives up (after 100 ms here).
# The router rejects 10.201.7.0/24 with
# network-unreachable (a firewall rule: the kernel's own no-route errors are
# rate-limited by a host-wide setting) and has a link MTU of 1400 towards the
# hosts. The client
# prohibits 10.201.6.0/24 and has an unreachable route to 10.201.5.0/24.
# 10.202.0.0/20 is silent and off-link: the router drops whatever goes there
# (echo and TCP alike), as a /20 of switched-off machines behind it would.
# Names come from /etc/netns/<client>/hosts (alpha, bravo, multi and host1 ..
# host<N> for the live addresses); the client's resolver points at
# a name server that does not exist, so unknown names fail at once.
#
# Traffic never leaves these namespaces. Exit 77 means "could not build the
# network here" and makes the test count as skipped.
set -u
hosts=${LUMEO_TESTNET_HOSTS:-300}
silent=${LUMEO_TESTNET_SILENT:-60}
tag=$$
c=lumc$tag r=lumr$tag h=lumh$tag

cleanup() {
    for ns in "$c" "$r" "$h"; do ip netns del "$ns" 2>/dev/null; done
    rm -rf "/etc/netns/$c"
}
trap cleanup EXIT

skip() {
    echo "SKIPPED: cannot build the test network here ($1); needs root, iproute2 and nftables" >&2
    exit 77
}

[ "$(id -u)" -eq 0 ] || skip "not root"
command -v ip >/dev/null || skip "no ip command"
command -v nft >/dev/null || skip "no nft command"
for ns in "$c" "$r" "$h"; do
    err=$(ip netns add "$ns" 2>&1) || skip "$err"
done

set -e
ip link add c0 netns "$c" type veth peer name r0 netns "$r"
ip link add r1 netns "$r" type veth peer name h0 netns "$h"

ip -n "$c" link set lo up
ip -n "$c" addr add 10.201.0.2/24 dev c0
ip -n "$c" link set c0 up
ip -n "$c" route add default via 10.201.0.1
ip -n "$c" route add prohibit 10.201.6.0/24
ip -n "$c" route add unreachable 10.201.5.0/24

ip -n "$r" link set lo up
ip -n "$r" addr add 10.201.0.1/24 dev r0
ip -n "$r" addr add 10.201.1.1/24 dev r1
ip -n "$r" link set r0 up
ip -n "$r" link set r1 mtu 1400 up
ip -n "$r" route add 10.201.2.0/23 via 10.201.1.2
ip -n "$r" route add 10.201.9.0/24 via 10.201.1.2
ip -n "$r" route add 10.201.7.0/24 via 10.201.1.2
ip -n "$r" route add 10.201.8.0/24 via 10.201.1.2
ip -n "$r" route add 10.201.10.0/24 via 10.201.1.2
ip -n "$r" route add 10.202.0.0/20 via 10.201.1.2

ip -n "$h" link set lo up
ip -n "$h" addr add 10.201.1.2/24 dev h0
ip -n "$h" link set h0 mtu 1400 up
ip -n "$h" route add default via 10.201.1.1
{
    for ((i = 1; i <= hosts; i++)); do
        echo "addr add 10.201.$((2 + (i - 1) / 254)).$((1 + (i - 1) % 254))/32 dev lo"
    done
    echo "addr add 10.201.9.1/32 dev lo"
    echo "addr add 10.201.9.2/32 dev lo"
    for ((i = 1; i <= silent; i++)); do echo "addr add 10.201.8.$i/32 dev lo"; done
    for ((i = 1; i <= 250; i++)); do echo "addr add 10.201.10.$i/32 dev lo"; done
} | ip -n "$h" -batch -

ip netns exec "$c" sysctl -qw net.ipv4.ping_group_range="0 2147483647"
ip netns exec "$r" sysctl -qw net.ipv4.ip_forward=1 net.ipv4.icmp_ratelimit=0 net.ipv4.icmp_msgs_per_sec=100000 \
    net.ipv4.neigh.r1.mcast_solicit=1 net.ipv4.neigh.r1.ucast_solicit=0 net.ipv4.neigh.r1.app_solicit=0 \
    net.ipv4.neigh.r1.retrans_time_ms=100
ip netns exec "$h" sysctl -qw net.ipv4.icmp_ratelimit=0 net.ipv4.icmp_msgs_per_sec=100000

ip netns exec "$h" nft -f - <<'NFT'
table inet lumeo_test {
    chain input {
        type filter hook input priority 0; policy accept;
        ip daddr 10.201.9.1 icmp type echo-request drop
        ip daddr 10.201.9.2 icmp type echo-request reject with icmp type host-unreachable
        ip daddr 10.201.8.0/24 icmp type echo-request drop
    }
}
NFT

ip netns exec "$r" nft -f - <<'NFT'
table inet lumeo_test {
    chain forward {
        type filter hook forward priority 0; policy accept;
        ip daddr 10.201.7.0/24 reject with icmp type net-unreachable
        ip daddr 10.201.10.0/24 icmp type echo-request limit rate over 1500/second burst 5 packets drop
        ip daddr 10.202.0.0/20 drop
    }
}
NFT

mkdir -p "/etc/netns/$c"
cat >"/etc/netns/$c/hosts" <<'HOSTS'
127.0.0.1 localhost
10.201.2.1 alpha
10.201.2.2 bravo
10.201.2.3 multi
10.201.2.4 multi
HOSTS
for ((i = 1; i <= hosts; i++)); do
    echo "10.201.$((2 + (i - 1) / 254)).$((1 + (i - 1) % 254)) host$i"
done >>"/etc/netns/$c/hosts"
printf 'nameserver 10.201.0.1\noptions timeout:1 attempts:1\n' >"/etc/netns/$c/resolv.conf"
set +e

# The hosts namespace is named for tests that switch a host off and on.
LUMEO_TESTNET=1 LUMEO_TESTNET_HOSTS_NS="$h" ip netns exec "$c" "$@"
