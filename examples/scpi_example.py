#!/usr/bin/python3
"""Drive the supply through the panel's SCPI server with PyVISA.

Start the panel, open the port, choose the supply's rating and tick
"远程控制 (SCPI)" in the read-out frame's context menu (or start the panel
with --scpi), then run:

    /usr/bin/python3 examples/scpi_example.py [RESOURCE]

RESOURCE defaults to TCPIP::127.0.0.1::5025::SOCKET. Needs Debian's
python3-pyvisa and python3-pyvisa-py.
"""

import sys

import pyvisa

VOLTS = 5.0


def check(supply, after):
    """Stops with the supply's error when the command before failed."""
    error = supply.query("SYST:ERR?")
    if not error.startswith("0,"):
        hint = ""
        if error.startswith("-222"):
            hint = " (choose the supply's rating in the panel first)"
        sys.exit(f"{after}: {error}{hint}")


def main():
    resource = sys.argv[1] if len(sys.argv) > 1 else "TCPIP::127.0.0.1::5025::SOCKET"
    supply = pyvisa.ResourceManager("@py").open_resource(resource)
    # A raw socket has no end marker of its own: the panel ends lines with LF.
    supply.read_termination = "\n"
    supply.write_termination = "\n"
    supply.timeout = 5000
    try:
        print("Supply:", supply.query("*IDN?"))
        supply.write(f"VOLT {VOLTS}")
        check(supply, f"VOLT {VOLTS}")
        supply.write("OUTP ON")
        for i in range(10):
            volts = float(supply.query("MEAS:VOLT?"))
            amps = float(supply.query("MEAS:CURR?"))
            print(f"{i + 1:2d}: {volts:8.4f} V {amps:8.4f} A")
        supply.write("OUTP OFF")
        check(supply, "OUTP")
    finally:
        supply.close()


if __name__ == "__main__":
    main()
