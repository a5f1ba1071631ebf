#!/usr/bin/python3
"""Runs mapcue.exe under Wine with a standard output the shell left unusable: closed (>&-),
a full device (>/dev/full), a pipe whose reader has gone. The status must be what it is with
a working stdout, promptly. usage: unix_stdout.py MAPCUE_EXE WRITE_PROBE_EXE (WINEPREFIX set)"""
import os
import subprocess
import sys
import time

exe, probe = sys.argv[1:3]
loader = os.environ["WINELOADER"]
log = open(os.path.join(os.environ["WINEPREFIX"], "wine-stderr.log"), "ab")
reader, writer = os.pipe()
os.close(reader)
sinks = {"closed": (None, lambda: os.close(1)), "full": (open("/dev/full", "wb"), None),
         "reader_gone": (writer, None)}


def run(stdout, preexec, args, program=exe):
    begin = time.monotonic()
    try:
        status = subprocess.call([loader, program, *args], stdout=stdout, stderr=log,
                                 stdin=subprocess.DEVNULL, timeout=20, preexec_fn=preexec)
    except subprocess.TimeoutExpired:
        status = "hung"
    return status, time.monotonic() - begin


passed, failures, slowest = 0, [], 0
for sink, (stdout, preexec) in sinks.items():
    error = run(stdout, preexec, [], probe)[0]  # the control: a write there does fail
    print(f"{sink}: a write fails with Windows error {error}")
    failures += [f"control: a write to {sink} succeeds"] if error == 0 else []
    for args, want in [(["n:"], 0), (["j:"], 0), (["c:"], 1), ([], 9)]:
        status, took = run(stdout, preexec, args)
        slowest = max(slowest, took)
        if status == want and took <= 5:
            passed += 1
        else:
            failures.append(f"{sink} {args}: status {status} (want {want}) in {took:.2f} s")
print("".join(f"FAIL {failure}\n" for failure in failures), end="")
print(f"unix stdout: {passed} passed, {len(failures)} failed, slowest run {slowest * 1000:.0f} ms")
sys.exit(1 if failures else 0)
