#!/usr/bin/env bash
# Captures the starting inputs of the icmp_reply target from real traffic:
# echo requests sent over loopback in a network namespace of its own, the
# kernel's replies, a reply carrying IPv4 options, and the host-unreachable
# error a reject rule sends back. Each packet is written in the forms the
# sockets hand over: the whole IPv4 packet (raw socket), the ICMP message
# alone (datagram socket) and, for an error, the request it quotes (the
# error queue). Run as root; needs ip, nft, tshark and python3.
# Usage: fuzz/capture-icmp-corpus.sh [OUTPUT_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-fuzz/corpus/icmp_reply}
mkdir -p "$out"
ns=lhardseed$$
work=$(mktemp -d)
tshark_pid=
cleanup() {
  [ -n "$tshark_pid" ] && kill "$tshark_pid" 2>/dev/null && wait "$tshark_pid" 2>/dev/null
  ip netns del "$ns" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
ip netns add "$ns"
ip -n "$ns" link set lo up
# Requests from 127.0.0.2 are refused with an ICMP error instead of a reply.
ip netns exec "$ns" nft -f - <<'EOF'
table ip lhardseed {
  chain input {
    type filter hook input priority 0;
    ip saddr 127.0.0.2 icmp type echo-request reject with icmp type host-unreachable
  }
}
EOF
chmod 777 "$work"
ip netns exec "$ns" tshark -q -i lo -f icmp -F pcap -w "$work/lo.pcap" 2>"$work/tshark.log" &
tshark_pid=$!
for _ in $(seq 50); do grep -q Capturing "$work/tshark.log" 2>/dev/null && break; sleep 0.1; done

ip netns exec "$ns" timeout 10 python3 - <<'EOF'
import socket, struct, time

def checksum(b):
    if len(b) % 2: b += b'\0'
    s = sum(struct.unpack('!%dH' % (len(b) // 2), b))
    while s >> 16: s = (s & 0xFFFF) + (s >> 16)
    return ~s & 0xFFFF

def echo(ident, seq, payload):
    head = struct.pack('!BBHHH', 8, 0, 0, ident, seq)
    return struct.pack('!BBHHH', 8, 0, checksum(head + payload), ident, seq) + payload

def send(packet, source='127.0.0.1', options=b''):
    s = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_ICMP)
    s.bind((source, 0))
    if options:
        s.setsockopt(socket.IPPROTO_IP, socket.IP_OPTIONS, options)
    s.sendto(packet, ('127.0.0.1', 0))
    time.sleep(0.2)
    s.close()

send(echo(0x4c55, 1, bytes(range(56))))               # the program's default size
send(echo(0x4c55, 2, b''))                             # no data at all
send(echo(0x4c55, 3, b'x' * 1472))                     # a full Ethernet frame
send(echo(0x4c55, 4, b'abcd'), options=bytes([7, 11, 4]) + bytes(8) + b'\0')  # record route
send(echo(0x4c55, 5, bytes(range(56))), source='127.0.0.2')  # refused: host unreachable
EOF
sleep 0.5
kill "$tshark_pid"
wait "$tshark_pid" 2>/dev/null || true
tshark_pid=

python3 - "$work/lo.pcap" "$out" <<'EOF'
import struct, sys
data = open(sys.argv[1], 'rb').read()
out = sys.argv[2]
linktype = struct.unpack('<I', data[20:24])[0]
assert linktype == 1, 'expected Ethernet framing on lo'
at, n = 24, 0
names = {0: 'reply', 8: 'request', 3: 'unreachable'}
while at < len(data):
    _, _, caplen, _ = struct.unpack('<IIII', data[at:at + 16])
    frame = data[at + 16:at + 16 + caplen]
    at += 16 + caplen
    ip = frame[14:]
    ihl = (ip[0] & 15) * 4
    icmp = ip[ihl:]
    seq = struct.unpack('!H', icmp[6:8])[0]
    name = '%s-%d%s' % (names.get(icmp[0], 'type%d' % icmp[0]), n, '-options' if ihl > 20 else '')
    n += 1
    open('%s/%s.raw' % (out, name), 'wb').write(ip)
    open('%s/%s.datagram' % (out, name), 'wb').write(icmp)
    if icmp[0] == 3:
        open('%s/%s.quote' % (out, name), 'wb').write(icmp[8:])
print('%d packets captured into %s' % (n, out))
EOF
