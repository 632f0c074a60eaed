#!/usr/bin/env python3
"""Figures for a contact table through quillmore-cli; prints, never fails.

    bench/cli/bench_clitables.py [BUILD_DIR] [ROWS]

A CSV of ROWS rows (default 100,000), 6 columns, in which 30 % of the rows
repeat an earlier row's number:
1. --dry-run: read, judge and plan; wall time and peak memory.
2. Enriched against the local stand-in service with --pause 0 --parallel 8:
   wall time, and the resident memory sampled as the rows are written, so
   that growth with the rows shows.
"""

import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench_cli import ROOT, cli_env, start_service  # noqa: E402


def table(path, rows):
    fresh = 0
    with open(path, "w", newline="") as f:
        f.write("Name,Phone,City,ZIP,Country,Note\r\n")
        for i in range(rows):
            repeat = i > 0 and i % 100 < 30
            n = (i * 7919) % fresh if repeat else fresh
            if not repeat:
                fresh += 1
            exchange = 200 + n // 9000 % 800
            line = 1000 + n % 9000
            f.write('"Contact %d, Jr.",(413) %d-%d,Springfield,%d,US,"said ""call after 5"""\r\n'
                    % (i, exchange, line, 1000 + i % 9000))
    return fresh


def resident_kb(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build")
    rows = int(sys.argv[2]) if len(sys.argv) > 2 else 100000
    program = os.path.join(build, "src", "cli", "quillmore-cli-testing")
    work = tempfile.mkdtemp(prefix="quillmore-bench.")
    subprocess.run([os.path.join(ROOT, "tools", "fake-service", "make-test-ca.sh"), work, "2"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    path = os.path.join(work, "contacts.csv")
    distinct = table(path, rows)
    print("table: %d rows, %d distinct numbers, %.1f MB" % (rows, distinct,
                                                            os.path.getsize(path) / 1e6))
    service, port, _ = start_service(work, "tables")
    env = cli_env(work, port)
    try:
        report = os.path.join(work, "dry-run.txt")
        started = time.time()
        with open(report, "w") as f:
            child = subprocess.Popen([program, "--dry-run", "--region", "US", path], env=env,
                                     stdout=f)
            _, _, usage = os.wait4(child.pid, 0)
        elapsed = time.time() - started
        with open(report) as f:
            out = f.read()
        print("dry run: %.2f s, peak %.0f MB (goals: under 5 s, under 200 MB)"
              % (elapsed, usage.ru_maxrss / 1024))
        print("  " + out.strip().replace("\n", "\n  "))

        output = os.path.join(work, "enriched.csv")
        started = time.time()
        child = subprocess.Popen([program, "--quiet", "--pause", "0", "--parallel", "8",
                                  "--region", "US", "--output", output, path], env=env)
        samples = []
        while child.poll() is None:
            samples.append((time.time() - started, resident_kb(child.pid)))
            time.sleep(0.5)
        elapsed = time.time() - started
        print("enriched: %.1f s, exit %d, %.0f lookups/s" % (elapsed, child.returncode,
                                                             distinct / max(elapsed, 1e-9)))
        if samples:
            marks = [samples[int(len(samples) * q)] for q in (0.1, 0.25, 0.5, 0.75)]
            marks.append(samples[-1])
            print("  resident memory as the run goes: " + ", ".join(
                "%.0f s %.0f MB" % (t, kb / 1024) for t, kb in marks))
    finally:
        service.terminate()
        service.wait()


if __name__ == "__main__":
    main()
