#!/usr/bin/env bash
# Builds a machine in network namespaces whose only link has one address
# and whose host name has a domain part, runs one command on it in a UTS
# namespace of its own (the host name is set there, never on this
# machine), and tears everything down again.
#
#   machine lsys<pid>: ws7.office.example, office0 10.209.7.2/24
#   peer    lsysp<pid>: the other end of the link, 10.209.7.1/24
#
# The machine's hosts file knows its name and its resolver points at the
# peer, where no name server runs. The command sees LUMEO_SYSNET=1 and the
# expected values in LUMEO_SYSNET_*. Exit 77 means "could not build the
# namespaces here" and makes the test count as skipped.
set -u
machine=lsys$$ peer=lsysp$$
host=ws7.office.example address=10.209.7.2 link=office0

cleanup() {
    for ns in "$machine" "$peer"; do ip netns del "$ns" 2>/dev/null; done
    rm -rf "/etc/netns/$machine"
}
trap cleanup EXIT

skip() {
    echo "SKIPPED: cannot build the namespaces here ($1); needs root, iproute2 and unshare" >&2
    exit 77
}

[ "$(id -u)" -eq 0 ] || skip "not root"
command -v ip >/dev/null || skip "no ip command"
command -v unshare >/dev/null || skip "no unshare command"
for ns in "$machine" "$peer"; do
    err=$(ip netns add "$ns" 2>&1) || skip "$err"
done

set -e
ip link add "$link" netns "$machine" type veth peer name peer0 netns "$peer"
ip -n "$machine" link set lo up
ip -n "$machine" addr add "$address/24" dev "$link"
ip -n "$machine" link set "$link" up
ip -n "$peer" addr add 10.209.7.1/24 dev peer0
ip -n "$peer" link set peer0 up

mkdir -p "/etc/netns/$machine"
printf '127.0.0.1 localhost\n%s %s %s\n' "$address" "$host" "${host%%.*}" >"/etc/netns/$machine/hosts"
printf 'nameserver 10.209.7.1\nsearch office.example\noptions timeout:1 attempts:1\n' >"/etc/netns/$machine/resolv.conf"
set +e

export LUMEO_SYSNET=1 LUMEO_SYSNET_HOST=$host LUMEO_SYSNET_ADDRESS=$address LUMEO_SYSNET_LINK=$link
ip netns exec "$machine" unshare --uts -- sh -c 'hostname "$LUMEO_SYSNET_HOST" && exec "$@"' sh "$@"
