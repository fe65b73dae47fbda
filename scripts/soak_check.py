#!/usr/bin/python3
"""Checks the logs a soak left (scripts/soak, soak_run.py) and prints what it
found; exits with 1 on any breach.

    soak_check.py SOAK_DIR

The folder holds meta.json, wire.log (the simulator's --wire-log),
sim-events.log, pass-NNN.events / .csv / .exit (velmor-headless's event
lines, recording and end), clients.jsonl, scrapes.jsonl and rss.log.

Breaches:
  - a client's reply is not its own: the answer to a query is not of the
    kind that query has (the soak's values are chosen so that the kinds do
    not overlap), or a line is neither "ANSWER;1" nor "1" (a failed query),
    or no line came within the client's timeout while the program ran on;
  - a recorded reading the supply never answered for that quantity (shown
    as misattributed when another quantity's reply had the value), or a
    reply the supply sent whole and on time, with no fault near it, that no
    row recorded (the polling cycle's repeats of a query, which it does not
    decode, aside);
  - after a run's end or stop (or a pass ended during a run) an "OUTP 1"
    went on the wire with no "OUTP 0" between;
  - after a reopening the polling cycle's queries did not come back within
    12 s while the line stayed up;
  - a pass that did not end with status 0 (or 3, the output-off not
    written, when the supply was gone at the end);
  - resident memory of a pass grew by more than 20 MB after its first 20 s;
  - a metrics scrape took longer than 2 s (the event loop stalled: the
    program exposes no stall figure, so this is measured from outside).
"""

import datetime
import glob
import json
import os
import re
import sys

POLLING_EVIDENCE = {"VOLTage:LEVel?", "OUTPut:STATe?", "SOUR:MODE?", "APPL?"}
COLUMN_COMMAND = {
    "measured_voltage_V": "MEASure:SCALar:VOLTage:DC?",
    "measured_current_A": "MEASure:SCALar:CURRent:DC?",
    "set_voltage_V": "VOLTage:LEVel?",
    "set_current_A": "CURRent:LEVel?",
    "ovp_V": "VOLTage:PROTection:LEVel?",
    "ocp_A": "CURRent:PROTection:LEVel?",
    "output": "OUTPut:STATe?",
    "mode": "SOUR:MODE?",
    "channel": "APPL?",
}
TEXT_VALUES = {"output": {"off": 0, "on": 1},
               "mode": {"independent": 0, "parallel": 1, "series": 2}}
FAULT_FATES = {"late", "held", "garbled", "dropped"}
INTACT_FATES = {"sent", "late", "held"}
# A fault disturbs the replies after it (a late one holds the line, garbage
# stays in the decoder's buffer): the window before a reply is the longer.
# A client's time-out and the quiet after it keep the line for two seconds,
# and the reply of the tick that waited comes after that.
FAULT_BEFORE_MS = 3000
FAULT_AFTER_MS = 1000
REOPEN_POLL_MS = 12000
# velmor-headless's status when the output-off owed at its end was not written.
OUTPUT_LEFT_ON = 3
RSS_GROWTH_KB = 20 * 1024
RSS_SETTLE_MS = 20000
STALL_MS = 2000
SHOWN = 5


def close(a, b):
    return abs(a - b) <= 1e-9 * max(1.0, abs(a), abs(b))


def unescape(text):
    return re.sub(r"\\x([0-9A-F]{2})", lambda m: chr(int(m.group(1), 16)), text)


def reply_value(reply):
    """The number or digit a supply's reply stands for, or None."""
    text = reply.rstrip("\r\n")
    m = re.fullmatch(r"([+-])([0-9A])\.([0-9]{5})E([+-][0-9]{2})", text)
    if m:
        mantissa = (10 if m.group(2) == "A" else int(m.group(2))) + int(m.group(3)) / 1e5
        value = mantissa * 10 ** int(m.group(4))
        return -value if m.group(1) == "-" else value
    if re.fullmatch(r"[0-9]", text):
        return int(text)
    return None


def local_ms(text):
    """An event line's time: local time of the soak, which runs in UTC."""
    stamp = datetime.datetime.fromisoformat(text).replace(tzinfo=datetime.timezone.utc)
    return int(stamp.timestamp() * 1000)


def iso_ms(text):
    return int(datetime.datetime.fromisoformat(text.replace("Z", "+00:00")).timestamp() * 1000)


class Report:
    def __init__(self):
        self.breaches = {}
        self.figures = []

    def breach(self, check, detail):
        self.breaches.setdefault(check, []).append(detail)

    def figure(self, text):
        self.figures.append(text)

    def show(self):
        for text in self.figures:
            print(text)
        if not self.breaches:
            print("no breach")
            return 0
        for check, details in self.breaches.items():
            print(f"BREACH {check}: {len(details)}")
            for detail in details[:SHOWN]:
                print(f"    {detail}")
        return 1


class Soak:
    def __init__(self, folder):
        self.folder = folder
        with open(os.path.join(folder, "meta.json")) as f:
            self.meta = json.load(f)
        self.commands, self.replies = self.read_wire()
        self.sim_events = self.read_sim_events()
        self.passes = self.read_passes()

    def path(self, name):
        return os.path.join(self.folder, name)

    def lines(self, name):
        try:
            with open(self.path(name), encoding="utf-8", errors="replace") as f:
                return f.read().splitlines()
        except FileNotFoundError:
            return []

    def read_wire(self):
        commands, replies = [], []
        last, repeat, sent_at = None, False, {}
        for line in self.lines("wire.log"):
            m = re.fullmatch(r"(\d+) ([<>]) (.*)", line)
            if not m:
                continue
            at, kind, rest = int(m.group(1)), m.group(2), unescape(m.group(3))
            if kind == "<":
                # The polling cycle sends a query again at its later steps
                # and decodes nothing of the replies.
                repeat = rest in sent_at and at - sent_at[rest] < 700
                sent_at[rest] = at
                last = rest
                commands.append((at, rest))
            else:
                fate, _, reply = rest.partition(" ")
                replies.append({"at": at, "fate": fate, "command": last, "reply": reply,
                                "value": reply_value(reply), "repeat": repeat})
        return commands, replies

    def read_sim_events(self):
        events = []
        for line in self.lines("sim-events.log"):
            at, _, text = line.partition(" ")
            events.append((int(at), text))
        return events

    def read_passes(self):
        passes = []
        for events_path in sorted(glob.glob(self.path("pass-*.events"))):
            stem = events_path[: -len(".events")]
            name = os.path.basename(stem)
            events = []
            for line in self.lines(name + ".events"):
                stamp, _, text = line.partition(" ")
                try:
                    events.append((local_ms(stamp), text))
                except ValueError:
                    continue
            end = self.lines(name + ".exit")
            ended, code = (int(end[0].split()[0]), int(end[0].split()[1])) if end else (None, None)
            passes.append({"name": name, "events": events, "rows": self.read_rows(name + ".csv"),
                           "ended": ended, "code": code})
        return passes

    def read_rows(self, name):
        import csv
        rows = []
        try:
            with open(self.path(name), newline="", encoding="utf-8") as f:
                for row in csv.DictReader(f):
                    if row.get("reading"):
                        column = row["reading"]
                        text = row[column]
                        value = TEXT_VALUES.get(column, {}).get(text)
                        if value is None:
                            value = float(text)
                        rows.append({"at": iso_ms(row["time"]), "column": column, "value": value})
        except FileNotFoundError:
            pass
        return rows


def query_kinds(meta):
    volts = [0.0] + [5.0] + [step[0] for step in meta["steps"]]
    amps_measured = [v / meta["load_ohms"] for v in volts]
    amps_set = [1.0] + [step[1] for step in meta["steps"]]
    number_in = lambda values: lambda text: any(close(float(text), v) for v in values)
    return {
        "*IDN?": lambda text: text.startswith("VELMOR-SIM,"),
        "SYST:VERS?": lambda text: text == "V1.06",
        "VOLT:PROT?": number_in([33.0]),
        "CURR:PROT?": number_in([3.3]),
        "CURR?": number_in(amps_set),
        "MEAS:VOLT?": number_in(volts),
        "MEAS:CURR?": number_in(amps_measured),
        "FETC:VOLT?": number_in(volts),
    }


def check_clients(soak, report):
    kinds = query_kinds(soak.meta)
    timeout_ms = soak.meta.get("client_timeout_seconds", 10) * 1000
    pass_ends = [run["ended"] for run in soak.passes if run["ended"] is not None]
    counts = {"reply": 0, "failed": 0, "abandoned": 0, "closed": 0}
    for line in soak.lines("clients.jsonl"):
        record = json.loads(line)
        outcome = record["outcome"]
        if outcome == "timeout":
            # The program ending under a PyVISA client leaves it waiting.
            gave_up = record.get("gave_up", record.get("sent"))
            if not any(gave_up - timeout_ms - 1000 <= end <= gave_up for end in pass_ends):
                report.breach("a client waited for a line in vain", line)
            counts["timeout"] = counts.get("timeout", 0) + 1
            continue
        if outcome != "reply":
            counts[outcome] = counts.get(outcome, 0) + 1
            continue
        reply = record["reply"]
        if reply == "1":
            counts["failed"] += 1
            continue
        answer, _, opc = reply.rpartition(";")
        kind = kinds.get(record["query"])
        try:
            own = opc == "1" and kind is not None and kind(answer)
        except ValueError:
            own = False
        if not own:
            report.breach("a client's reply is not its own",
                          f"{record['client']}: {record['query']} -> {reply!r}")
        counts["reply"] += 1
    report.figure("clients: " + ", ".join(f"{k} {v}" for k, v in counts.items()))


def intact_replies(soak):
    by_command = {}
    for reply in soak.replies:
        if reply["fate"] in INTACT_FATES and reply["value"] is not None:
            by_command.setdefault(reply["command"], []).append(reply)
    return by_command


def check_rows_invented(soak, report, by_command):
    rows = 0
    for run in soak.passes:
        for row in run["rows"]:
            rows += 1
            command = COLUMN_COMMAND[row["column"]]
            window = lambda r: row["at"] - 20000 <= r["at"] <= row["at"] + 1000
            if any(window(r) and close(r["value"], row["value"])
                   for r in by_command.get(command, [])):
                continue
            other = [c for c, replies in by_command.items() if c != command and any(
                window(r) and close(r["value"], row["value"]) for r in replies)]
            what = "misattributed" if other else "invented"
            report.breach(f"a recorded reading the supply never answered ({what})",
                          f"{run['name']} {row['column']}={row['value']} at {row['at']}"
                          + (f", answered to {other[0]}" if other else ""))
    report.figure(f"recording: {rows} reading rows in {len(soak.passes)} passes")


def fault_times(soak):
    times = [r["at"] for r in soak.replies if r["fate"] in FAULT_FATES]
    times += [at for at, _ in soak.sim_events]
    for run in soak.passes:
        times += [at for at, text in run["events"] if text.startswith("port ")]
    return sorted(times)


def near(times, at, span):
    import bisect
    i = bisect.bisect_left(times, at - span)
    return i < len(times) and times[i] <= at + span


def check_rows_lost(soak, report):
    faults = fault_times(soak)
    checked = 0
    for run in soak.passes:
        if not run["rows"]:
            continue
        first, last = run["rows"][0]["at"] + 1000, run["rows"][-1]["at"] - 3000
        for reply in soak.replies:
            if not (first <= reply["at"] <= last) or reply["fate"] != "sent" or reply["repeat"]:
                continue
            column = next((c for c, cmd in COLUMN_COMMAND.items() if cmd == reply["command"]), None)
            if column is None or reply["value"] is None or near(faults, reply["at"] - (FAULT_BEFORE_MS - FAULT_AFTER_MS) / 2,
                (FAULT_BEFORE_MS + FAULT_AFTER_MS) / 2):
                continue
            checked += 1
            if not any(row["column"] == column and close(row["value"], reply["value"])
                       and reply["at"] - 500 <= row["at"] <= reply["at"] + 3000
                       for row in run["rows"]):
                report.breach("a reply sent whole and on time that no row recorded",
                              f"{run['name']} {reply['command']} {reply['value']} at {reply['at']}")
    report.figure(f"recording: {checked} replies away from faults checked for a row")


def check_output_off(soak, report):
    switches = [(at, text) for at, text in soak.commands if text in ("OUTP 0", "OUTP 1")]
    stops = []
    for run in soak.passes:
        running = False
        for at, text in run["events"]:
            if text.startswith("run started"):
                running = True
            elif text in ("run finished", "run stopped"):
                running = False
                stops.append((at, f"{run['name']} {text}"))
        if running and run["ended"] is not None:
            stops.append((run["ended"], f"{run['name']} ended during a run"))
    for at, what in stops:
        later = [(t, s) for t, s in switches if t >= at - 2000]
        for t, s in later:
            if s == "OUTP 0":
                break
            if s == "OUTP 1" and t > at:
                report.breach("OUTP 1 after a stop with no OUTP 0 between", f"{what} at {at}")
                break
    report.figure(f"output: {len(stops)} run ends and stops, {len(switches)} switch commands")


def check_polling_resumed(soak, report):
    polls = sorted(at for at, text in soak.commands if text in POLLING_EVIDENCE)
    losses = [at for at, text in soak.sim_events if "vanished" in text or "pulled out" in text]
    reopenings = 0
    for run in soak.passes:
        for i, (at, text) in enumerate(run["events"]):
            if not text.startswith("port reopened"):
                continue
            reopenings += 1
            ends = [t for t, x in run["events"][i + 1:] if x.startswith(("port lost", "port closed"))]
            ends += [t for t in losses if t > at]
            if run["ended"] is not None:
                ends.append(run["ended"])
            if ends and min(ends) - at < REOPEN_POLL_MS:
                continue
            if not any(at < t <= at + REOPEN_POLL_MS for t in polls):
                report.breach("polling not back within 12 s of a reopening",
                              f"{run['name']} at {at}")
    report.figure(f"reconnection: {reopenings} reopenings")


def line_lost_at_end(run):
    ports = [text for _, text in run["events"] if text.startswith("port ")]
    return bool(ports) and ports[-1].startswith("port lost")


def check_exits(soak, report):
    for run in soak.passes:
        # A stop while the supply is gone cannot write its output-off: the
        # program says so and ends with its own status, which is right.
        if run["code"] == 0 or (run["code"] == OUTPUT_LEFT_ON and line_lost_at_end(run)):
            continue
        report.breach("a pass did not end with status 0", f"{run['name']}: {run['code']}")


def check_memory(soak, report):
    samples = {}
    for line in soak.lines("rss.log"):
        number, at, kb = (int(x) for x in line.split())
        samples.setdefault(number, []).append((at, kb))
    worst = 0
    for number, series in samples.items():
        start = series[0][0]
        settled = [kb for at, kb in series if at - start >= RSS_SETTLE_MS]
        if len(settled) < 2:
            continue
        growth = max(settled) - settled[0]
        worst = max(worst, growth)
        if growth > RSS_GROWTH_KB:
            report.breach("resident memory grew by more than 20 MB",
                          f"pass {number}: {settled[0]} kB to {max(settled)} kB")
    peak = max((kb for s in samples.values() for _, kb in s), default=0)
    report.figure(f"memory: peak {peak} kB, largest growth after 20 s {worst} kB")


def check_stalls(soak, report):
    latencies = []
    for line in soak.lines("scrapes.jsonl"):
        record = json.loads(line)
        if "latency_ms" in record:
            latencies.append(record["latency_ms"])
            if record["latency_ms"] > STALL_MS:
                report.breach("a metrics scrape waited more than 2 s", line)
    latencies.sort()
    if latencies:
        p99 = latencies[min(len(latencies) - 1, int(len(latencies) * 0.99))]
        report.figure(f"stalls (metrics scrape latency): {len(latencies)} scrapes, "
                      f"median {latencies[len(latencies) // 2]} ms, p99 {p99} ms, "
                      f"max {latencies[-1]} ms")


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: soak_check.py SOAK_DIR")
    soak = Soak(sys.argv[1])
    report = Report()
    by_command = intact_replies(soak)
    report.figure(f"wire: {len(soak.commands)} commands, {len(soak.replies)} replies ("
                  + ", ".join(f"{fate} {sum(r['fate'] == fate for r in soak.replies)}"
                              for fate in sorted({r['fate'] for r in soak.replies})) + ")")
    check_clients(soak, report)
    check_rows_invented(soak, report, by_command)
    check_rows_lost(soak, report)
    check_output_off(soak, report)
    check_polling_resumed(soak, report)
    check_exits(soak, report)
    check_memory(soak, report)
    check_stalls(soak, report)
    sys.exit(report.show())


if __name__ == "__main__":
    main()
