#!/usr/bin/python3
"""Runs the chaos soak for scripts/soak and leaves its logs in a folder.

    soak_run.py BUILD_DIR OUT_DIR MINUTES [--window]

For MINUTES: the simulated supply with late, garbled and dropped replies, in
generations that each vanish and come back once and end with the supply
pulled out; velmor-headless in passes, each polling with --reconnect,
recording, serving metrics and scripts and running a list three times; four
script clients (two PyVISA, two raw sockets; one of each drops its
connection in the middle of a query now and then) asking queries whose
answers cannot be mistaken for one another; a Prometheus-style scrape every
second; the headless program's resident memory every two seconds. With --window
the panel itself runs each pass instead (offscreen, soak-window), with a
random operator pressing its buttons. The checks are soak_check.py's, on the
folder afterwards.
"""

import json
import os
import random
import signal
import socket
import subprocess
import sys
import threading
import time
import urllib.request

GENERATION_SECONDS = 75
RETURN_AFTER_SECONDS = 3
PASS_LIMIT_SECONDS = 150
AFTER_STOP_SECONDS = 15
CLIENT_TIMEOUT_SECONDS = 10
ABANDON_CHANCE = 0.05
FAULTS = ["--late", "0.005:1500", "--garbage", "0.005", "--drop", "0.005"]

# Every step on and in constant voltage (the current limit times the 10-ohm
# load is above every voltage), so that the measured voltage is the set one,
# the measured current a tenth of it, and neither is ever a set current or a
# protection level.
STEPS = [(5.5, 1.61, 2), (7.5, 1.83, 2), (12.5, 1.97, 2)]
REPEAT = 3
QUERIES = ["*IDN?", "SYST:VERS?", "VOLT:PROT?", "CURR:PROT?", "CURR?", "MEAS:VOLT?",
           "MEAS:CURR?", "FETC:VOLT?"]


def now_ms():
    return int(time.time() * 1000)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Soak:
    def __init__(self, build, out, minutes, window):
        self.build = build
        self.window = window
        self.out = out
        self.deadline = time.monotonic() + minutes * 60
        self.stopping = threading.Event()
        self.lock = threading.Lock()
        self.headless = None  # the running pass's process
        self.metrics_port = free_port()
        self.scpi_port = free_port()
        runtime = os.path.join(out, "runtime")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        self.env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(out, "config"), TZ="UTC",
                        QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=runtime)
        self.clients_log = open(os.path.join(out, "clients.jsonl"), "a", buffering=1)
        self.scrapes_log = open(os.path.join(out, "scrapes.jsonl"), "a", buffering=1)
        self.rss_log = open(os.path.join(out, "rss.log"), "a", buffering=1)
        self.sim_events = open(os.path.join(out, "sim-events.log"), "a", buffering=1)

    def time_left(self):
        return self.deadline - time.monotonic()

    def write_meta(self):
        list_path = os.path.join(self.out, "list.csv")
        with open(list_path, "w") as f:
            f.write("voltage_V,current_A,dwell_s,output\n")
            for volts, amps, dwell in STEPS:
                f.write(f"{volts},{amps},{dwell},on\n")
        meta = {"steps": STEPS, "repeat": REPEAT, "load_ohms": 10, "faults": FAULTS,
                "generation_seconds": GENERATION_SECONDS, "queries": QUERIES,
                "client_timeout_seconds": CLIENT_TIMEOUT_SECONDS,
                "program": "window" if self.window else "headless"}
        with open(os.path.join(self.out, "meta.json"), "w") as f:
            json.dump(meta, f, indent=1)
        return list_path

    # The simulated supply, one generation after another.
    def supply(self):
        link_dir = os.path.join(self.out, "config", "velmor", "ports")
        generation = 0
        while self.time_left() > 5:
            generation += 1
            vanish = random.randint(20, 50)
            args = [os.path.join(self.build, "sim", "velmor-supply-sim"), "--link-dir", link_dir,
                    "--wire-log", os.path.join(self.out, "wire.log"), "--seed", str(generation),
                    "--vanish-after", str(vanish), "--return-after", str(RETURN_AFTER_SECONDS),
                    *FAULTS]
            self.sim_events.write(f"{now_ms()} generation {generation} starts\n")
            sim = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.PIPE, text=True)
            threading.Thread(target=self.sim_notes, args=(sim,), daemon=True).start()
            end = time.monotonic() + min(GENERATION_SECONDS, max(self.time_left(), 1))
            while time.monotonic() < end and not self.stopping.is_set():
                time.sleep(0.2)
            sim.send_signal(signal.SIGTERM)
            sim.wait()
            self.sim_events.write(f"{now_ms()} generation {generation} pulled out\n")
            if self.stopping.is_set():
                return
            time.sleep(2)

    def sim_notes(self, sim):
        for line in sim.stderr:
            self.sim_events.write(f"{now_ms()} {line.strip()}\n")

    # velmor-headless, one pass after another.
    def passes(self, list_path):
        number = 0
        while self.time_left() > 10 and not self.stopping.is_set():
            number += 1
            self.one_pass(number, list_path)
            time.sleep(1)

    def one_pass(self, number, list_path):
        stem = os.path.join(self.out, f"pass-{number:03d}")
        common = ["--port", "COM200", "--settings", "9600,N,8,1", "--poll", "--reconnect",
                  "--record", stem + ".csv", f"--metrics=127.0.0.1:{self.metrics_port}",
                  f"--scpi={self.scpi_port}"]
        if self.window:
            args = [os.path.join(self.build, "tests", "soak-window"), "--list", list_path,
                    "--repeat", str(REPEAT), "--seed", str(number), "--lang", "en", *common]
        else:
            args = [os.path.join(self.build, "headless", "velmor-headless"), *common,
                    "--run", list_path, "--repeat", str(REPEAT), "--rating", "30,3"]
        events = open(stem + ".events", "w")
        started = time.monotonic()
        process = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=events, env=self.env)
        with self.lock:
            self.headless = process
        stop_at = started + PASS_LIMIT_SECONDS
        while process.poll() is None:
            with open(stem + ".events") as f:
                if "run stopped" in f.read():
                    stop_at = min(stop_at, time.monotonic() + AFTER_STOP_SECONDS)
            if time.monotonic() >= stop_at or self.time_left() <= 0:
                process.send_signal(signal.SIGTERM)
                try:
                    process.wait(timeout=20)
                except subprocess.TimeoutExpired:
                    process.kill()
                break
            self.sample_rss(number, process.pid)
            time.sleep(2)
        code = process.wait()
        with self.lock:
            self.headless = None
        events.close()
        with open(stem + ".exit", "w") as f:
            f.write(f"{now_ms()} {code}\n")

    def sample_rss(self, number, pid):
        try:
            with open(f"/proc/{pid}/status") as f:
                for line in f:
                    if line.startswith("VmRSS:"):
                        self.rss_log.write(f"{number} {now_ms()} {line.split()[1]}\n")
        except OSError:
            pass

    def log_client(self, record):
        self.clients_log.write(json.dumps(record) + "\n")

    # A raw socket client.
    def raw_client(self, name, abandons):
        while self.time_left() > 0 and not self.stopping.is_set():
            try:
                with socket.create_connection(("127.0.0.1", self.scpi_port), timeout=2) as s:
                    s.settimeout(CLIENT_TIMEOUT_SECONDS)
                    reader = s.makefile("rb")
                    while self.time_left() > 0:
                        query = random.choice(QUERIES)
                        sent = now_ms()
                        s.sendall(f"{query};*OPC?\n".encode())
                        if abandons and random.random() < ABANDON_CHANCE:
                            self.log_client({"client": name, "sent": sent, "query": query,
                                             "outcome": "abandoned"})
                            break
                        line = reader.readline()
                        if not line:
                            self.log_client({"client": name, "sent": sent, "query": query,
                                             "outcome": "closed"})
                            time.sleep(0.5)
                            break
                        self.log_client({"client": name, "sent": sent, "received": now_ms(),
                                         "query": query, "outcome": "reply",
                                         "reply": line.decode("latin-1").rstrip("\r\n")})
                        time.sleep(random.uniform(0, 0.2))
            except socket.timeout:
                self.log_client({"client": name, "gave_up": now_ms(), "outcome": "timeout"})
            except OSError:
                time.sleep(0.5)

    # A PyVISA client.
    def visa_client(self, name, abandons):
        import pyvisa
        manager = pyvisa.ResourceManager("@py")
        resource = f"TCPIP::127.0.0.1::{self.scpi_port}::SOCKET"
        while self.time_left() > 0 and not self.stopping.is_set():
            try:
                supply = manager.open_resource(resource)
            except Exception:
                time.sleep(0.5)
                continue
            supply.read_termination = "\n"
            supply.write_termination = "\n"
            supply.timeout = CLIENT_TIMEOUT_SECONDS * 1000
            try:
                while self.time_left() > 0:
                    query = random.choice(QUERIES)
                    sent = now_ms()
                    if abandons and random.random() < ABANDON_CHANCE:
                        supply.write(f"{query};*OPC?")
                        self.log_client({"client": name, "sent": sent, "query": query,
                                         "outcome": "abandoned"})
                        break
                    reply = supply.query(f"{query};*OPC?")
                    self.log_client({"client": name, "sent": sent, "received": now_ms(),
                                     "query": query, "outcome": "reply", "reply": reply})
                    time.sleep(random.uniform(0, 0.2))
            except pyvisa.errors.VisaIOError as error:
                timeout = error.error_code == pyvisa.constants.StatusCode.error_timeout
                self.log_client({"client": name, "gave_up": now_ms(),
                                 "outcome": "timeout" if timeout else "closed"})
                time.sleep(0.5)
            except Exception:
                self.log_client({"client": name, "gave_up": now_ms(), "outcome": "closed"})
                time.sleep(0.5)
            finally:
                try:
                    supply.close()
                except Exception:
                    pass

    def scraper(self):
        url = f"http://127.0.0.1:{self.metrics_port}/metrics"
        while self.time_left() > 0 and not self.stopping.is_set():
            with self.lock:
                running = self.headless is not None
            start = time.monotonic()
            record = {"at": now_ms(), "running": running}
            try:
                with urllib.request.urlopen(url, timeout=10) as response:
                    body = response.read().decode()
                record["latency_ms"] = round((time.monotonic() - start) * 1000, 1)
                for line in body.splitlines():
                    for metric in ("velmor_polling", "velmor_port_open",
                                   "velmor_recorded_rows_total", "velmor_reconnections_total"):
                        if line.startswith(metric + "{") or line.startswith(metric + " "):
                            record[metric] = float(line.split()[-1])
            except Exception as error:
                record["error"] = str(error)
            self.scrapes_log.write(json.dumps(record) + "\n")
            time.sleep(max(0.0, 1.0 - (time.monotonic() - start)))

    def run(self):
        list_path = self.write_meta()
        threads = [threading.Thread(target=self.supply)]
        threads[0].start()
        time.sleep(1)
        threads.append(threading.Thread(target=self.passes, args=(list_path,)))
        clients = [(self.visa_client, "visa", False), (self.visa_client, "visa-abrupt", True),
                   (self.raw_client, "raw", False), (self.raw_client, "raw-abrupt", True)]
        for target, name, abandons in clients:
            threads.append(threading.Thread(target=target, args=(name, abandons), daemon=True))
        threads.append(threading.Thread(target=self.scraper, daemon=True))
        for thread in threads[1:]:
            thread.start()
        try:
            threads[1].join()
        finally:
            self.stopping.set()
            threads[0].join()


def main():
    args = sys.argv[1:]
    window = "--window" in args
    if window:
        args.remove("--window")
    if len(args) != 3:
        sys.exit("usage: soak_run.py BUILD_DIR OUT_DIR MINUTES [--window]")
    build, out = os.path.abspath(args[0]), os.path.abspath(args[1])
    minutes = float(args[2])
    os.makedirs(os.path.join(out, "config", "velmor", "ports"), exist_ok=True)
    Soak(build, out, minutes, window).run()


if __name__ == "__main__":
    main()
