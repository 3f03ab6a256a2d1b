#!/usr/bin/env python3
"""The reader's scan in instructions per input byte, by callgrind.

Usage: xml_instructions.py BIN_DIR [FILE...]. For every document of the XML
benchmarks, or for each FILE given (any XML file the reader accepts), counts
the instructions of one parse and free ("reader") and of the floor's tree
built and freed ("floor"), each under callgrind in a pinned environment
(env -i: the floor's linking reads the environment at every call), and prints
both per input byte and their difference, the scan's cost.
"""
import os
import re
import subprocess
import sys
import tempfile


def instructions(program, mode, doc):
    with tempfile.TemporaryDirectory() as work:
        out = os.path.join(work, "callgrind.out")
        run = subprocess.run(
            ["env", "-i", "PATH=/usr/bin:/bin", "valgrind", "--tool=callgrind",
             "--toggle-collect=vt_measured", "--callgrind-out-file=" + out, program, mode, doc],
            capture_output=True, text=True, check=True)
        size = int(run.stdout.split()[0])
        with open(out) as f:
            total = re.search(r"^totals: (\d+)", f.read(), re.M)
        return int(total.group(1)), size


def main():
    program = os.path.join(sys.argv[1], "xml_instructions")
    docs = [os.path.abspath(f) for f in sys.argv[2:]] or subprocess.run(
        [program, "list"], capture_output=True, text=True, check=True).stdout.split()
    print("Instructions per input byte (callgrind, env -i): one parse and free, the floor's tree")
    print("built and freed, and the difference, the scan's cost.")
    print("%-44s %10s %8s %8s %8s" % ("document", "bytes", "reader", "floor", "scan"))
    for doc in docs:
        reader, size = instructions(program, "reader", doc)
        floor, _ = instructions(program, "floor", doc)
        print("%-44s %10d %8.2f %8.2f %8.2f" % (doc, size, reader / size, floor / size,
                                                (reader - floor) / size))


if __name__ == "__main__":
    main()
