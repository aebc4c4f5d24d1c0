"""A capture's tagged sections, as the shared folder's README describes
them, for the tests that edit a capture the way a failing drive changes."""
import struct


def sections(data):
    """The tagged sections of a capture: [tag, payload] in file order."""
    out, at = [], 0
    while at + 8 <= len(data):
        length = struct.unpack(">I", data[at + 4:at + 8])[0]
        out.append([data[at:at + 4], bytearray(data[at + 8:at + 8 + length])])
        at += 8 + length
    return out


def joined(parts):
    """The capture the sections make again."""
    return b"".join(tag + struct.pack(">I", len(payload)) + payload for tag, payload in parts)


def reseal(block):
    """Makes a changed block's 8-bit sum 0 again, as the drive would have sent
    it: a reply that fails its checksum is not judged."""
    block[511] = -sum(block[:511]) & 0xFF
