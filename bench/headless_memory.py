#!/usr/bin/python3
"""velmor-headless polling, recording and serving metrics for a long stretch,
its resident memory sampled throughout.

    headless_memory.py BUILD_DIR WORK_DIR MINUTES [--metrics-port P]

Starts the simulated supply (COM200 under WORK_DIR's config folder) and
velmor-headless with --poll --record --metrics, scrapes /metrics every
ten seconds and reads VmRSS every ten seconds. After a warm-up of a tenth of
the run (at least a minute, so that the reading histories have filled to
their bounds) it fits a line through the samples and prints the growth per
hour and what 24 h of it would come to, as key-value lines for scripts/bench:

    rss_start_kib rss_end_kib rss_peak_kib growth_kib_per_hour day_kib
    rows_recorded scrapes scrape_errors polling_events exit_status
"""

import os
import signal
import subprocess
import sys
import time
import urllib.request

SAMPLE_SECONDS = 10


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def slope_per_hour(samples):
    """The least-squares slope of (seconds, kib) samples, in kib an hour."""
    n = len(samples)
    if n < 2:
        return 0.0
    mean_t = sum(t for t, _ in samples) / n
    mean_k = sum(k for _, k in samples) / n
    spread = sum((t - mean_t) ** 2 for t, _ in samples)
    if spread == 0:
        return 0.0
    slope = sum((t - mean_t) * (k - mean_k) for t, k in samples) / spread
    return slope * 3600


def wait_for(path, seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end and not os.path.exists(path):
        time.sleep(0.1)
    return os.path.exists(path)


def main():
    args = sys.argv[1:]
    metrics_port = 19470
    if "--metrics-port" in args:
        at = args.index("--metrics-port")
        metrics_port = int(args[at + 1])
        del args[at:at + 2]
    if len(args) != 3:
        sys.exit("usage: headless_memory.py BUILD_DIR WORK_DIR MINUTES [--metrics-port P]")
    build, work, minutes = args[0], args[1], float(args[2])
    config = os.path.join(work, "config")
    links = os.path.join(config, "velmor", "ports")
    os.makedirs(links, exist_ok=True)
    env = dict(os.environ, XDG_CONFIG_HOME=config, QT_QPA_PLATFORM="offscreen")
    record = os.path.join(work, "headless-memory.csv")
    if os.path.exists(record):
        os.remove(record)

    sim = subprocess.Popen([os.path.join(build, "sim", "velmor-supply-sim"), "--com", "200",
                            "--link-dir", links, "--quiet"],
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
    if not wait_for(os.path.join(links, "com200"), 5):
        sim.kill()
        sys.exit("the simulated supply did not start")
    events_path = os.path.join(work, "headless-memory.events")
    with open(events_path, "w") as events:
        headless = subprocess.Popen(
            [os.path.join(build, "headless", "velmor-headless"), "--port", "COM200", "--poll",
             "--record", record, f"--metrics=127.0.0.1:{metrics_port}"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=events, env=env)
    samples = []
    scrapes = scrape_errors = 0
    started = time.monotonic()
    warm_up = max(60.0, minutes * 6)
    try:
        while time.monotonic() - started < minutes * 60 and headless.poll() is None:
            time.sleep(SAMPLE_SECONDS)
            try:
                with urllib.request.urlopen(f"http://127.0.0.1:{metrics_port}/metrics",
                                            timeout=5) as response:
                    response.read()
                scrapes += 1
            except OSError:
                scrape_errors += 1
            samples.append((time.monotonic() - started, rss_kib(headless.pid)))
    finally:
        if headless.poll() is None:
            headless.send_signal(signal.SIGTERM)
        status = headless.wait()
        sim.send_signal(signal.SIGTERM)
        sim.wait()

    kept = [s for s in samples if s[0] >= warm_up] or samples
    growth = slope_per_hour(kept)
    with open(record, encoding="utf-8", errors="replace") as f:
        rows = max(sum(1 for _ in f) - 1, 0)
    with open(events_path, encoding="utf-8", errors="replace") as f:
        polling = sum(1 for line in f if "polling started" in line)
    print(f"rss_start_kib {kept[0][1] if kept else 0}")
    print(f"rss_end_kib {kept[-1][1] if kept else 0}")
    print(f"rss_peak_kib {max((k for _, k in samples), default=0)}")
    print(f"growth_kib_per_hour {growth:.1f}")
    print(f"day_kib {growth * 24:.1f}")
    print(f"rows_recorded {rows}")
    print(f"scrapes {scrapes}")
    print(f"scrape_errors {scrape_errors}")
    print(f"polling_events {polling}")
    print(f"exit_status {status}")


if __name__ == "__main__":
    main()
