#!/usr/bin/python3
"""A PyVISA loop of MEAS:VOLT? for bench-scpi.

    scpi_client.py RESOURCE COUNT          COUNT queries
    scpi_client.py RESOURCE --seconds S    as many queries as S seconds take

Prints the queries' count, the seconds they took and the median time of one
query, in ms."""

import statistics
import sys
import time

import pyvisa

resource = sys.argv[1]
if sys.argv[2] == "--seconds":
    count, seconds_wanted = None, float(sys.argv[3])
else:
    count, seconds_wanted = int(sys.argv[2]), None
supply = pyvisa.ResourceManager("@py").open_resource(resource)
supply.read_termination = "\n"
supply.write_termination = "\n"
supply.timeout = 5000
supply.query("*IDN?")
times = []
start = time.perf_counter()
while (len(times) < count) if count is not None else (
        time.perf_counter() - start < seconds_wanted):
    before = time.perf_counter()
    float(supply.query("MEAS:VOLT?"))
    times.append((time.perf_counter() - before) * 1000.0)
seconds = time.perf_counter() - start
supply.close()
print(f"queries {len(times)}")
print(f"seconds {seconds:.4f}")
print(f"median_ms {statistics.median(times):.4f}")
