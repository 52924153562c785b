#!/usr/bin/env python3
# Takes the clipboard of a Wayland seat through the data-control manager, speaking the wire
# protocol itself, and then misbehaves when the text is asked for:
#   wayland_owner.py SOCKET TEXT partial   writes the first 10 bytes and dies mid-read
#   wayland_owner.py SOCKET TEXT silent    keeps the pipe open and never writes
# Prints "owning" once it holds the clipboard and "asked" when the text is asked for.
import array
import os
import socket
import struct
import sys
import time

path, text, mode = sys.argv[1], sys.argv[2].encode(), sys.argv[3]
sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
sock.connect(path)
last_id = 1  # 1 is wl_display
received, fds = b"", []


def new_id():
    global last_id
    last_id += 1
    return last_id


def string(value):
    data = value.encode() + b"\0"
    return struct.pack("<I", len(data)) + data + b"\0" * (-len(data) % 4)


def request(target, opcode, payload=b""):
    sock.sendall(struct.pack("<II", target, ((8 + len(payload)) << 16) | opcode) + payload)


def events():
    global received
    while True:
        while len(received) >= 8:
            target, word = struct.unpack_from("<II", received)
            size = word >> 16
            if len(received) < size:
                break
            yield target, word & 0xFFFF, received[8:size]
            received = received[size:]
        data, ancillary, _, _ = sock.recvmsg(65536, socket.CMSG_SPACE(16 * 4))
        if not data:
            sys.exit("the compositor closed the connection")
        for _, _, raw in ancillary:
            fds.extend(array.array("i", raw[: len(raw) - len(raw) % 4]))
        received += data


def read_string(payload, at):
    length = struct.unpack_from("<I", payload, at)[0]
    return payload[at + 4 : at + 4 + length - 1].decode(), at + 4 + length + (-length % 4)


registry, done = new_id(), new_id()
request(1, 1, struct.pack("<I", registry))  # wl_display.get_registry
request(1, 0, struct.pack("<I", done))  # wl_display.sync
globals_seen = {}
for target, opcode, payload in events():
    if target == 1 and opcode == 0:
        sys.exit("protocol error")
    if target == registry and opcode == 0:
        name = struct.unpack_from("<I", payload)[0]
        interface, at = read_string(payload, 4)
        globals_seen.setdefault(interface, name)
    if target == done:
        break

manager_interface = next(
    (i for i in ("ext_data_control_manager_v1", "zwlr_data_control_manager_v1") if i in globals_seen),
    None,
)
if manager_interface is None or "wl_seat" not in globals_seen:
    sys.exit("no data-control manager or seat")


def bind(interface):
    object_id = new_id()
    payload = struct.pack("<I", globals_seen[interface]) + string(interface)
    request(registry, 0, payload + struct.pack("<II", 1, object_id))  # wl_registry.bind
    return object_id


seat, manager = bind("wl_seat"), bind(manager_interface)
source, device = new_id(), new_id()
request(manager, 0, struct.pack("<I", source))  # create_data_source
request(source, 0, string("text/plain;charset=utf-8"))  # offer
request(manager, 1, struct.pack("<II", device, seat))  # get_data_device
request(device, 0, struct.pack("<I", source))  # set_selection
print("owning", flush=True)

for target, opcode, payload in events():
    if target == 1 and opcode == 0:
        sys.exit("protocol error")
    if target == source and opcode == 0:  # send(mime_type, fd)
        print("asked", flush=True)
        pipe = fds.pop(0)
        if mode == "partial":
            os.write(pipe, text[:10])
            os._exit(0)
        time.sleep(120)
