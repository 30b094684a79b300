#!/usr/bin/python3
"""Decodes the utility library's CBOR dictionaries with an independent decoder.

Runs the dump program given as the argument and checks each encoding with
Debian's python3-cbor2: it decodes to the expected dictionary, cbor2's own
canonical (deterministic, shortest-form) encoding of that dictionary is
byte-identical, and a {"Time": t} encoding fits the probe's 51 bytes.
"""
import subprocess
import sys

import cbor2

MULTI = {
    "Time": 4000000000,
    "seq": -7,
    "port": 8080,
    "x": 0,
    "Größe": 1,
    "a_key_of_thirty_one_bytes_long_": 65536,
}

# Encoded length of {"Time": t} by size class of t.
def expected_time_len(t):
    if 0 <= t < 24:
        return 7
    if 0 <= t < 2**8:
        return 8
    if 0 <= t < 2**16:
        return 9
    if 0 <= t < 2**32:
        return 11
    return None


def main():
    # The dump program, behind the cross emulator when there is one.
    out = subprocess.run(sys.argv[1:], check=True, capture_output=True, text=True).stdout
    failures = 0
    cases = 0
    seen_classes = set()
    for line in out.splitlines():
        name, hexbytes = line.split(" ")
        data = bytes.fromhex(hexbytes)
        cases += 1
        decoded = cbor2.loads(data)
        if name == "multi":
            expected = MULTI
        else:
            t = int(name.split(":", 1)[1])
            expected = {"Time": t}
            want_len = expected_time_len(t)
            if want_len is not None:
                seen_classes.add(want_len)
                if len(data) != want_len or len(data) > 51:
                    print(f"FAIL {name}: {len(data)} bytes, expected {want_len}")
                    failures += 1
        canonical = cbor2.dumps(expected, canonical=True)
        if decoded != expected or type(decoded) is not dict:
            print(f"FAIL {name}: decoded {decoded!r}, expected {expected!r}")
            failures += 1
        elif data != canonical:
            print(f"FAIL {name}: {data.hex()} is not the canonical {canonical.hex()}")
            failures += 1
        else:
            print(f"ok   {name}: {data.hex()} -> {decoded!r}")
    if seen_classes != {7, 8, 9, 11}:
        print(f"FAIL: size classes covered {sorted(seen_classes)}")
        failures += 1
    print(f"{cases} encodings checked with cbor2, {failures} failures")
    return 1 if failures or cases == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
