#!/usr/bin/python3
"""A PyVISA loop of MEAS:VOLT? for bench-scpi: prints the queries' count,
the seconds they took and the median time of one query, in ms."""

import statistics
import sys
import time

import pyvisa

resource, count = sys.argv[1], int(sys.argv[2])
supply = pyvisa.ResourceManager("@py").open_resource(resource)
supply.read_termination = "\n"
supply.write_termination = "\n"
supply.timeout = 5000
supply.query("*IDN?")
times = []
start = time.perf_counter()
for _ in range(count):
    before = time.perf_counter()
    float(supply.query("MEAS:VOLT?"))
    times.append((time.perf_counter() - before) * 1000.0)
seconds = time.perf_counter() - start
supply.close()
print(f"queries {count}")
print(f"seconds {seconds:.4f}")
print(f"median_ms {statistics.median(times):.4f}")
