#!/usr/bin/python3
"""Times each call of mapcue against its floors under one warm Wine prefix.

Every round runs every command once, in a shuffled order, so drift (CPU frequency, page
cache, a busy neighbour) falls on all of them alike; the ratios compare medians taken from
the same rounds. Peak memory comes from a separate pass under /usr/bin/time -v, so its own
start-up does not enter the times. Prints a markdown table and writes it to OUT/results.md.
"""
import argparse
import os
import random
import re
import statistics
import subprocess
import sys
import time

N_UNC = b"\\\\fileserver\\public\\docs\r\n"
NOT_CONNECTED = b"ERROR_NOT_CONNECTED\r\n"
HELP_GOLDEN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "data",
                           "help.golden")
GOALS = [  # label, numerator, denominator, bound
    ("help / empty PE", "mapcue (help)", "empty PE", 1.05),
    ("lookup / bare lookup PE", "mapcue n:", "bare lookup PE", 1.05),
    ("lookup / net use n:", "mapcue n:", "net use n:", 0.55),
]


def commands(loader):
    # The build this host's Wine runs (scripts/wine-prefix.sh chose it), timed against floor
    # programs built like it.
    exe_path = os.environ["MAPCUE_EXE"]
    build = os.path.dirname(exe_path)

    def exe(path):
        return [loader, os.path.join(build, path)]

    mapcue = [loader, exe_path]
    # Both sides are started by path, so neither pays for Wine's start.exe.
    net = [loader, "C:\\windows\\system32\\net.exe", "use", "n:"]
    # label: (argv, expected status, expected stdout or None when not checked)
    return {
        "empty PE": (exe("bench/empty_pe.exe"), 0, b""),
        "bare lookup PE": (exe("bench/bare_lookup.exe"), 0, b""),
        "mapcue n:": (mapcue + ["n:"], 0, N_UNC),
        "mapcue c:": (mapcue + ["c:"], 1, NOT_CONNECTED),
        "mapcue (help)": (mapcue, 9, open(HELP_GOLDEN, "rb").read()),
        "net use n:": (net, None, None),
    }


def run(argv, stderr):
    # Wine's helpers keep inherited descriptors open after the program ends: stderr goes to
    # a file, stdout to a file or nowhere, never to a pipe we would wait on.
    start = time.perf_counter_ns()
    status = subprocess.call(argv, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                             stderr=stderr)
    return (time.perf_counter_ns() - start) / 1e6, status


def check(label, argv, status, out, stderr, scratch):
    path = os.path.join(scratch, "out.bin")
    with open(path, "wb") as sink:
        got = subprocess.call(argv, stdin=subprocess.DEVNULL, stdout=sink, stderr=stderr)
    with open(path, "rb") as f:
        text = f.read()
    if (status is not None and got != status) or (out is not None and text != out):
        sys.exit(f"{label}: status {got}, output {text!r}; the benchmark would time a failure")
    return got


def peak_kb(argv, stderr, scratch):
    report = os.path.join(scratch, "time.txt")
    subprocess.call(["/usr/bin/time", "-v", "-o", report] + argv, stdin=subprocess.DEVNULL,
                    stdout=subprocess.DEVNULL, stderr=stderr)
    with open(report) as f:
        return int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", f.read()).group(1))


def quartiles(samples):
    q = statistics.quantiles(samples, n=4)
    return q[0], q[2]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", required=True)
    parser.add_argument("--rounds", type=int, default=200)
    parser.add_argument("--warmup", type=int, default=10)
    parser.add_argument("--memory-runs", type=int, default=10)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    if not os.environ.get("WINEPREFIX") or not os.environ.get("MAPCUE_EXE"):
        sys.exit("run it through bench/run.sh: a warm prefix with n: mapped, and a build chosen")
    os.makedirs(args.out, exist_ok=True)
    loader = os.environ["WINELOADER"]
    cmds = commands(loader)
    stderr = open(os.path.join(args.out, "wine-stderr.log"), "ab")

    statuses = {label: check(label, *spec, stderr, args.out) for label, spec in cmds.items()}
    rng = random.Random(args.seed)
    labels = list(cmds)
    samples = {label: [] for label in labels}
    for round_no in range(args.warmup + args.rounds):
        rng.shuffle(labels)
        for label in labels:
            ms, status = run(cmds[label][0], stderr)
            if status != statuses[label]:
                sys.exit(f"{label}: status {status} in round {round_no}, {statuses[label]} before")
            if round_no >= args.warmup:
                samples[label].append(ms)
    peaks = {label: statistics.median(peak_kb(cmds[label][0], stderr, args.out)
                                      for _ in range(args.memory_runs))
             for label in cmds}

    medians = {label: statistics.median(s) for label, s in samples.items()}
    lines = ["| call | median ms | p25-p75 ms | peak RSS KiB | exit |", "|---|---:|---:|---:|---:|"]
    for label in cmds:
        low, high = quartiles(samples[label])
        lines.append(f"| {label} | {medians[label]:.2f} | {low:.2f}-{high:.2f} | "
                     f"{peaks[label]:.0f} | {statuses[label]} |")
    lines += ["", "| ratio of medians | measured | goal |", "|---|---:|---|"]
    ratios = {}
    for name, num, den, bound in GOALS:
        ratios[name] = medians[num] / medians[den]
        verdict = "met" if ratios[name] <= bound else "MISSED"
        lines.append(f"| {name} | {ratios[name]:.3f} | <= {bound} ({verdict}) |")
    uname = os.uname()
    wine = subprocess.run([loader, "--version"], capture_output=True, text=True).stdout.strip()
    lines += ["", f"{os.path.basename(os.environ['MAPCUE_EXE'])}: {os.environ['MAPCUE_WHY']}; "
              f"{args.rounds} interleaved rounds after {args.warmup} warm-up rounds, "
              f"{os.cpu_count()} CPUs, {uname.sysname} {uname.release}, {wine}"]
    table = "\n".join(lines)
    print(table)
    with open(os.path.join(args.out, "results.md"), "w") as f:
        f.write(table + "\n")


if __name__ == "__main__":
    main()
