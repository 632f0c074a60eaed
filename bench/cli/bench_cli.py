#!/usr/bin/env python3
"""Figures for quillmore-cli against the local stand-in service; prints, never fails.

    bench/cli/bench_cli.py [BUILD_DIR] [COUNT] [BIG_COUNT]

1. COUNT numbers (default 5000) with --pause 0 --parallel 1, against COUNT bare
   runs of the same curl command one after the other: the ratio of the times.
2. Every answer 200 ms late, --parallel 8: numbers per second over 8 / 0.2 s.
3. BIG_COUNT numbers (default 100000) with --pause 0 --parallel 8: peak memory.
4. Start of the program to its first request at the service.
5. The journal's fdatasync: its cost per call, and so per 2 s of a run.
6. RTT_COUNT numbers (default 400) through a 40 ms round trip (--rtt 40):
   --parallel 1 time over COUNT x 40 ms, --parallel 8 time over COUNT x 40 ms / 8,
   and the same for curl's own kept-alive runs (one curl for all the numbers,
   one after the other, then --parallel --parallel-max 8) as the peer.
"""

import json
import os
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def start_service(work, name, delay=0.0, rtt=0):
    log = os.path.join(work, name + ".log")
    service = subprocess.Popen(
        [sys.executable, os.path.join(ROOT, "tools", "fake-service", "server.py"), "--port", "0",
         "--cert", os.path.join(work, "server.pem"), "--key", os.path.join(work, "server.key"),
         "--log", log, "--delay-seconds", str(delay), "--rtt", str(rtt)],
        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    port = int(service.stdout.readline().split()[1])
    return service, port, log


def cli_env(work, port):
    """The program's environment: homes in `work`, the stand-in service at `port`."""
    return dict(os.environ, QUILLMORE_API_KEY="bench", TEMP=work,
                XDG_DATA_HOME=os.path.join(work, "data"),
                XDG_CONFIG_HOME=os.path.join(work, "config"),
                XDG_CACHE_HOME=os.path.join(work, "cache"),
                QUILLMORE_TEST_SERVICE_URL="https://127.0.0.1:%d" % port,
                QUILLMORE_TEST_CA_BUNDLE=os.path.join(work, "ca.pem"))


def run_cli(program, work, port, numbers, extra, name):
    path = os.path.join(work, name + ".txt")
    with open(path, "w") as f:
        f.write("\n".join(numbers) + "\n")
    env = cli_env(work, port)
    started = time.time()
    child = subprocess.Popen([program, "--quiet", "--output", os.path.join(work, name + ".csv")]
                             + extra + [path], env=env)
    _, status, usage = os.wait4(child.pid, 0)
    child.returncode = os.waitstatus_to_exitcode(status)
    return started, time.time() - started, usage.ru_maxrss, child.returncode


def numbers_from(base, count):
    return [str(base + i) for i in range(count)]


def curl_peer(work, port, numbers, parallel):
    """One curl for all the numbers, on its own kept-alive connections."""
    config = os.path.join(work, "peer-%d.cfg" % parallel)
    with open(config, "w") as f:
        f.write('request = "POST"\n')
        for number in numbers:
            f.write('url = "https://127.0.0.1:%d/3.1/phone?api_key=bench&phone=%s"\n'
                    'output = "/dev/null"\n' % (port, number))
    extra = ["--parallel", "--parallel-max", str(parallel)] if parallel > 1 else []
    env = dict(os.environ, CURL_CA_BUNDLE=os.path.join(work, "ca.pem"))
    started = time.monotonic()
    subprocess.run(["curl", "-s", "-K", config] + extra, env=env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=False)
    return time.monotonic() - started


def connections(log):
    with open(log) as f:
        return len({json.loads(line).get("connection") for line in f if '"method"' in line})


def round_trips(program, work, count):
    rtt = 0.040
    service, port, log = start_service(work, "rtt", rtt=40)
    print("%d numbers through a %d ms round trip:" % (count, rtt * 1000))
    for parallel, goal, base in ((1, 1.10, 2000400000), (8, 1.25, 2000500000)):
        ideal = count * rtt / parallel
        before = connections(log)
        _, total, _, rc = run_cli(program, work, port, numbers_from(base, count),
                                  ["--pause", "0", "--parallel", str(parallel)],
                                  "rtt-%d" % parallel)
        used = connections(log) - before
        peer = curl_peer(work, port, numbers_from(base + 100000, count), parallel)
        print("  --parallel %d: %.2f s, ratio %.3f (goal <= %.2f), %d connections, exit %d; "
              "curl's own: %.2f s, ratio %.3f; quillmore-cli / curl %.3f"
              % (parallel, total, total / ideal, goal, used, rc, peer, peer / ideal,
                 total / peer))
    service.terminate()
    service.wait()


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build")
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 5000
    big = int(sys.argv[3]) if len(sys.argv) > 3 else 100000
    program = os.path.join(build, "src", "cli", "quillmore-cli-testing")
    work = tempfile.mkdtemp(prefix="quillmore-bench.")
    subprocess.run([os.path.join(ROOT, "tools", "fake-service", "make-test-ca.sh"), work, "2"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    print("machine: %d cores, %s" % (os.cpu_count(), os.uname().release))
    rtt_count = int(os.environ.get("RTT_COUNT", "400"))
    round_trips(program, work, rtt_count)

    service, port, log = start_service(work, "plain")
    # 4. Start to first request: the service's wall clock at arrival.
    started, _, _, _ = run_cli(program, work, port, ["2000000001"], ["--pause", "0"], "first")
    with open(log) as f:
        first = json.loads(f.readline())["arrival_wall"]
    print("start to first request: %.1f ms (goal <= 50 ms)" % ((first - started) * 1000))

    # 1. The whole run against bare curl runs of the same command.
    _, total, rss, rc = run_cli(program, work, port, numbers_from(2000100000, count),
                                ["--pause", "0", "--parallel", "1"], "serial")
    answer = os.path.join(work, "bare-answer.txt")
    env = dict(os.environ, CURL_CA_BUNDLE=os.path.join(work, "ca.pem"))
    bare_start = time.monotonic()
    for i in range(count):
        config = 'url = "https://127.0.0.1:%d/3.1/phone?api_key=bench&phone=%d"\n' % (
            port, 2000200000 + i)
        subprocess.run(["curl", "-X", "POST", "-K", "-", "--output", answer,
                        "--dump-header", answer + ".h"], input=config.encode(), env=env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
    bare = time.monotonic() - bare_start
    print("%d numbers, --parallel 1: %.1f s; %d bare curl runs: %.1f s; ratio %.3f "
          "(goal <= 1.03); exit %d" % (count, total, count, bare, total / bare, rc))
    service.terminate()
    service.wait()

    # 2. 200 ms per answer, 8 in flight.
    service, port, _ = start_service(work, "late", delay=0.2)
    late = max(400, count // 10)
    _, total, _, rc = run_cli(program, work, port, numbers_from(2000300000, late),
                              ["--pause", "0", "--parallel", "8"], "late")
    rate = late / total
    print("200 ms answers, --parallel 8: %.1f numbers/s of 40 possible, ratio %.3f "
          "(goal >= 0.90); exit %d" % (rate, rate / 40.0, rc))
    service.terminate()
    service.wait()

    # 3. Peak memory of a big run.
    service, port, _ = start_service(work, "big")
    _, total, rss, rc = run_cli(program, work, port, numbers_from(2001000000, big),
                                ["--pause", "0", "--parallel", "8"], "big")
    print("%d numbers, --parallel 8: %.0f s, peak resident memory %.1f MB (goal <= 60 MB); "
          "exit %d" % (big, total, rss / 1024, rc))
    service.terminate()
    service.wait()

    # 5. fdatasync on the journal's file system, as the journal calls it.
    path = os.path.join(work, "sync-probe")
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_APPEND, 0o600)
    line = b'{"op":"append","number":"2000000001","cells":[],"answer":"' + b"x" * 1400 + b'"}\n'
    rounds = 200
    t = time.monotonic()
    for _ in range(rounds):
        os.write(fd, line)
        os.fdatasync(fd)
    per_sync = (time.monotonic() - t) / rounds
    os.close(fd)
    print("fdatasync after a row: %.2f ms; at most one per 2 s: %.3f%% of a run's time"
          % (per_sync * 1000, per_sync / 2.0 * 100))
    print("work folder (delete when done): %s" % work)


if __name__ == "__main__":
    main()
