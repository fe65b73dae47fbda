#!/usr/bin/python3
"""The soak's checker (scripts/soak_check.py) on a crafted soak folder: quiet
on a clean one, failing on each breach put into it."""

import json
import os
import subprocess
import sys
import tempfile
import unittest

CHECKER = os.path.join(os.path.dirname(__file__), "..", "..", "scripts", "soak_check.py")
HEADER = ("time,reading,measured_voltage_V,measured_current_A,set_voltage_V,set_current_A,"
          "ovp_V,ocp_A,output,mode,channel,event")
T = 1_800_000_000_000  # ms since the epoch; event lines are UTC


def stamp(ms):
    import datetime
    return datetime.datetime.fromtimestamp(ms / 1000, datetime.timezone.utc) \
        .replace(tzinfo=None).isoformat(timespec="milliseconds")


def clean_soak():
    """A pass that starts a run, loses the port and stops the run, reopens,
    polls on, switches off before the next run, and finishes it."""
    return {
        "wire": [f"{T + 100} < OUTP 1", f"{T + 400} < VOLTage:LEVel?",
                 f"{T + 401} > sent +5.50000E+00\\x0D\\x0A",
                 f"{T + 2000} < MEASure:SCALar:VOLTage:DC?",
                 f"{T + 2001} > sent +5.50000E+00\\x0D\\x0A",
                 f"{T + 19000} < OUTP 0", f"{T + 22000} < APPL?", f"{T + 22001} > sent 1\\x0D\\x0A",
                 f"{T + 30000} < OUTP 1", f"{T + 39990} < APPL?", f"{T + 39991} > sent 1\\x0D\\x0A",
                 f"{T + 45000} < OUTP 0"],
        "events": [(T, "run started list.csv"), (T + 15000, "port lost"),
                   (T + 15000, "run stopped"), (T + 18000, "port reopened COM200 9600,N,8,1"),
                   (T + 29000, "run started list.csv"), (T + 45000, "run finished")],
        "rows": [(T + 450, "set_voltage_V", "5.5"), (T + 2020, "measured_voltage_V", "5.5"),
                 (T + 22020, "channel", "1"), (T + 40000, "channel", "1")],
        "clients": [{"client": "raw", "query": "MEAS:VOLT?", "outcome": "reply",
                     "reply": "5.5;1"},
                    {"client": "visa", "query": "CURR:PROT?", "outcome": "reply", "reply": "1"}],
        "ended": T + 50000,
        "code": 0,
    }


def write(folder, soak):
    with open(os.path.join(folder, "meta.json"), "w") as f:
        json.dump({"steps": [[5.5, 1.61, 4]], "load_ohms": 10}, f)
    with open(os.path.join(folder, "wire.log"), "w") as f:
        f.write("\n".join(soak["wire"]) + "\n")
    with open(os.path.join(folder, "pass-001.events"), "w") as f:
        for at, text in soak["events"]:
            f.write(f"{stamp(at)} {text}\n")
    with open(os.path.join(folder, "pass-001.csv"), "w") as f:
        f.write(HEADER + "\n")
        columns = HEADER.split(",")
        for at, column, value in soak["rows"]:
            cells = [""] * len(columns)
            cells[0] = stamp(at) + "+00:00"
            cells[1] = column
            cells[columns.index(column)] = value
            f.write(",".join(cells) + "\n")
    with open(os.path.join(folder, "pass-001.exit"), "w") as f:
        f.write(f"{soak['ended']} {soak['code']}\n")
    with open(os.path.join(folder, "clients.jsonl"), "w") as f:
        for record in soak["clients"]:
            f.write(json.dumps(record) + "\n")


def check(soak):
    with tempfile.TemporaryDirectory() as folder:
        write(folder, soak)
        return subprocess.run([sys.executable, CHECKER, folder], capture_output=True, text=True)


class SoakCheck(unittest.TestCase):
    def test_a_clean_soak_passes(self):
        result = check(clean_soak())
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

    def test_the_output_left_on_status_passes_only_with_the_supply_gone(self):
        soak = clean_soak()
        soak["code"] = 3
        self.assertEqual(check(soak).returncode, 1)
        soak["events"].append((T + 48000, "port lost"))
        result = check(soak)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

    def test_each_breach_fails_with_its_check_named(self):
        def swapped(s):
            s["clients"][0]["reply"] = "3.3;1"

        def left_on(s):
            s["wire"].remove(f"{T + 19000} < OUTP 0")

        def not_polled(s):
            s["wire"] = [w for w in s["wire"] if not w.startswith((f"{T + 22000}", f"{T + 22001}"))]
            s["rows"] = [r for r in s["rows"] if r[0] != T + 22020]

        def invented(s):
            s["rows"].insert(2, (T + 2040, "measured_voltage_V", "7.5"))

        def lost(s):
            del s["rows"][1]

        cases = [(swapped, "not its own"), (left_on, "OUTP 1 after a stop"),
                 (not_polled, "polling not back"), (invented, "never answered"),
                 (lost, "no row recorded")]
        for breach, named in cases:
            soak = clean_soak()
            breach(soak)
            result = check(soak)
            self.assertEqual(result.returncode, 1, f"{breach.__name__}: {result.stdout}")
            self.assertIn(named, result.stdout, breach.__name__)


if __name__ == "__main__":
    unittest.main()
