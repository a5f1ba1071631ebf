#!/usr/bin/python3
"""Times each call of every file this host's Wine runs against its floors, in one warm prefix.

Every round runs every command once, in a shuffled order, so drift (CPU frequency, page
cache, a busy neighbour) falls on all of them alike; the ratios compare medians taken from
the same rounds. Peak memory comes from a separate pass under /usr/bin/time, so its own
start-up does not enter the times. Prints a markdown table and writes it to OUT/results.md.
"""
import argparse
import os
import random
import statistics
import subprocess
import sys
import time

HELP_GOLDEN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../tests/data/help.golden")
GOALS = [  # label, numerator, denominator, bound
    ("help / empty PE", "mapcue (help)", "empty PE", 1.05),
    ("lookup / bare lookup PE", "mapcue n:", "bare lookup PE", 1.05),
    ("lookup / net use n:", "mapcue n:", "net use n:", 0.55),
]


def commands(exe, loader):
    """Each call of one file, and its floors built like it: label -> (argv, status, stdout);
    a status or stdout of None is not checked. Every program is started by path, net.exe too,
    so none pays for Wine's start.exe."""
    floor = os.path.join(os.path.dirname(exe), "bench")
    return {
        "empty PE": ([loader, os.path.join(floor, "empty_pe.exe")], 0, b""),
        "bare lookup PE": ([loader, os.path.join(floor, "bare_lookup.exe")], 0, b""),
        "mapcue n:": ([loader, exe, "n:"], 0, b"\\\\fileserver\\public\\docs\r\n"),
        "mapcue c:": ([loader, exe, "c:"], 1, b"ERROR_NOT_CONNECTED\r\n"),
        "mapcue (help)": ([loader, exe], 9, open(HELP_GOLDEN, "rb").read()),
        "net use n:": ([loader, "C:\\windows\\system32\\net.exe", "use", "n:"], None, None),
    }


def run(argv, stderr, stdout=subprocess.DEVNULL):
    # Wine's helpers keep inherited descriptors open after the program ends: stderr goes to
    # a file, stdout to a file or nowhere, never to a pipe we would wait on.
    start = time.perf_counter_ns()
    status = subprocess.call(argv, stdin=subprocess.DEVNULL, stdout=stdout, stderr=stderr)
    return (time.perf_counter_ns() - start) / 1e6, status


def check(label, argv, status, out, stderr, scratch):
    with open(os.path.join(scratch, "out.bin"), "w+b") as sink:
        got = run(argv, stderr, sink)[1]
        sink.seek(0)
        text = sink.read()
    if (status is not None and got != status) or (out is not None and text != out):
        sys.exit(f"{label}: status {got}, output {text!r}; the benchmark would time a failure")
    return got


def peak_kb(argv, stderr, scratch):
    report = os.path.join(scratch, "time.txt")
    run(["/usr/bin/time", "-f", "%M", "-o", report] + argv, stderr)
    with open(report) as f:  # the figure follows time's note of a non-zero status
        return int(f.read().split()[-1])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", required=True)
    for option, default in ("--rounds", 200), ("--warmup", 10), ("--memory-runs", 10):
        parser.add_argument(option, type=int, default=default)
    args = parser.parse_args()
    if not os.environ.get("WINEPREFIX") or not os.environ.get("MAPCUE_BUILDS"):
        sys.exit("run it through bench/run.sh: a warm prefix with n: mapped, and the builds found")
    os.makedirs(args.out, exist_ok=True)
    with open(os.environ["MAPCUE_BUILDS"]) as f:
        builds = [line.rstrip("\n").split("\t") for line in f]
    # Every file this host's Wine runs, each against its own floors, in the same rounds.
    ran = [(os.path.basename(exe), exe, loader) for exe, loader, _ in builds if loader != "-"]
    cmds = {(name, label): call for name, exe, loader in ran
            for label, call in commands(exe, loader).items()}
    stderr = open(os.path.join(args.out, "wine-stderr.log"), "ab")

    statuses = {key: check(key, *call, stderr, args.out) for key, call in cmds.items()}
    rng, keys = random.Random(1), list(cmds)
    samples = {key: [] for key in keys}
    for round_no in range(args.warmup + args.rounds):
        rng.shuffle(keys)
        for key in keys:
            ms, status = run(cmds[key][0], stderr)
            if status != statuses[key]:
                sys.exit(f"{key}: status {status} in round {round_no}, {statuses[key]} before")
            if round_no >= args.warmup:
                samples[key].append(ms)
    peaks = {key: statistics.median(peak_kb(cmds[key][0], stderr, args.out)
                                    for _ in range(args.memory_runs))
             for key in cmds}

    medians = {key: statistics.median(s) for key, s in samples.items()}
    lines = []
    for name, exe, loader in ran:
        wine = subprocess.run([loader, "--version"], capture_output=True, text=True).stdout
        lines += [f"| {name}, {loader} ({wine.strip()}) | median ms | p25-p75 ms "
                  "| peak RSS KiB | exit |", "|---|---:|---:|---:|---:|"]
        for key in (key for key in cmds if key[0] == name):
            low, _, high = statistics.quantiles(samples[key], n=4)
            lines.append(f"| {key[1]} | {medians[key]:.2f} | {low:.2f}-{high:.2f} | "
                         f"{peaks[key]:.0f} | {statuses[key]} |")
        lines += ["", f"| {name}: ratio of medians | measured | goal |", "|---|---:|---|"]
        for label, num, den, bound in GOALS:
            ratio = medians[name, num] / medians[name, den]
            verdict = "met" if ratio <= bound else "MISSED"
            lines.append(f"| {label} | {ratio:.3f} | <= {bound} ({verdict}) |")
        lines.append("")
    lines += [line for _, loader, line in builds if loader == "-"] + [
        f"{args.rounds} interleaved rounds after {args.warmup} warm-up rounds, "
        f"{os.cpu_count()} CPUs, {os.uname().sysname} {os.uname().release}"]
    table = "\n".join(lines)
    print(table)
    with open(os.path.join(args.out, "results.md"), "w") as f:
        f.write(table + "\n")


if __name__ == "__main__":
    main()
