#!/usr/bin/env python3
"""Machines that answer the scan the way hostile or broken peers do.

Runs inside a namespace of the test network and answers on UDP port 137 for
every address given in the configuration (a JSON file):

  {"hosts": [{"address": "10.212.1.21",
              "names": [["41 2c 42", 0, false], ["4f 46 46 49 43 45", 0, true]]}],
   "master": {"address": "10.212.1.9", "name": "DUMBMASTER", "workgroup": "HOSTILE",
              "keepalive": false},
   "log": "/tmp/peer.log"}

- Each host answers a node-status request with its name table: names as
  hex bytes (any bytes, up to fifteen), their suffix and whether a group.
- The master answers name queries for __MSBROWSE__<01>, its workgroup's
  <1D> and <1B> and its own names with its address, and node status with a
  table that says it is the master browser; it accepts connections on TCP
  ports 139 and 445 and never answers them (with keepalive, it sends only
  NetBIOS keep-alives, every second). Each connection is written to the log.

It serves until it is killed. Every wait is bounded by the kill.
"""
import json
import select
import socket
import struct
import sys
import time

NBSTAT, NB, IN = 0x21, 0x20, 1
MSBROWSE = b"\x01\x02__MSBROWSE__\x02"


def encode(name16):
    out = bytes([32])
    for b in name16:
        out += bytes([ord("A") + (b >> 4), ord("A") + (b & 15)])
    return out + b"\x00"


def decode_question(packet):
    """The question's sixteen bytes and its type, or None."""
    if len(packet) < 12 + 34 + 4 or packet[12] != 32:
        return None
    letters = packet[13:45]
    raw = bytes(((letters[i] - 65) << 4) | (letters[i + 1] - 65) for i in range(0, 32, 2))
    qtype = struct.unpack(">H", packet[46:48])[0]
    return raw, qtype


def padded(name, suffix):
    return name[:15].ljust(15, b" ") + bytes([suffix])


def node_status_reply(tid, names):
    data = bytes([len(names)])
    for name, suffix, group in names:
        data += name[:15].ljust(15, b" ") + bytes([suffix]) + struct.pack(">H", 0x8400 if group else 0x0400)
    data += bytes.fromhex("525400abcdef")
    header = struct.pack(">HHHHHH", tid, 0x8400, 0, 1, 0, 0)
    return header + encode(b"*" + b"\x00" * 15) + struct.pack(">HHIH", NBSTAT, IN, 0, len(data)) + data


def name_reply(tid, name16, address):
    header = struct.pack(">HHHHHH", tid, 0x8500, 0, 1, 0, 0)
    rdata = struct.pack(">H", 0) + socket.inet_aton(address)
    return header + encode(name16) + struct.pack(">HHIH", NB, IN, 300000, len(rdata)) + rdata


def main():
    config = json.load(open(sys.argv[1]))
    log = open(config.get("log", "/dev/null"), "a", buffering=1)
    udp = {}
    tables = {}
    for host in config.get("hosts", []):
        tables[host["address"]] = [(bytes.fromhex(n), s, g) for n, s, g in host["names"]]
    master = config.get("master")
    if master:
        m = master["name"].encode()
        w = master["workgroup"].encode()
        tables[master["address"]] = [(m, 0x00, False), (m, 0x20, False), (w, 0x00, True), (w, 0x1D, False),
                                     (w, 0x1E, True), (MSBROWSE[:15], 0x01, True)]
        known = {padded(m, 0x00), padded(m, 0x20), padded(w, 0x1D), padded(w, 0x1B), padded(w, 0x1E),
                 MSBROWSE + b"\x01"}
    for address in tables:
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        s.bind((address, 137))
        udp[s] = address
    if master:
        # Broadcast queries reach only a socket bound to every address.
        b = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        b.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        b.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
        b.bind(("0.0.0.0", 137))
        udp[b] = master["address"]
    listeners = []
    if master:
        for port in (139, 445):
            t = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            t.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            t.bind((master["address"], port))
            t.listen(16)
            listeners.append(t)
    held = []
    print("ready", flush=True)
    last_keepalive = time.monotonic()
    while True:
        readable, _, _ = select.select(list(udp) + listeners + held, [], [], 0.2)
        for s in readable:
            if s in listeners:
                c, peer = s.accept()
                held.append(c)
                log.write("connect %d from %s\n" % (s.getsockname()[1], peer[0]))
            elif s in held:
                try:
                    data = s.recv(65536)
                except OSError:
                    data = b""
                if not data:
                    held.remove(s)
                    s.close()
            else:
                packet, peer = s.recvfrom(2048)
                q = decode_question(packet)
                if not q or packet[2] & 0x80:
                    continue
                raw, qtype = q
                tid = struct.unpack(">H", packet[:2])[0]
                address = udp[s]
                if qtype == NBSTAT and address in tables:
                    s.sendto(node_status_reply(tid, tables[address]), peer)
                elif qtype == NB and master and raw in known:
                    s.sendto(name_reply(tid, raw, master["address"]), peer)
        if master and master.get("keepalive") and time.monotonic() - last_keepalive >= 1:
            last_keepalive = time.monotonic()
            for c in held:
                try:
                    c.send(b"\x85\x00\x00\x00")
                except OSError:
                    pass


if __name__ == "__main__":
    main()
