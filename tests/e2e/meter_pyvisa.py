#!/usr/bin/env python3
"""psucal-sim's meter, spoken to by PyVISA (pyvisa-py backend) as a bench PC would speak to an
HP 34401A over RS-232, and to a LAN meter over its raw SCPI socket. Usage: meter_pyvisa.py PATH-TO-psucal-sim. Exit 77 when PyVISA is absent."""

import subprocess
import sys

try:
    import pyvisa
except ImportError:
    print("PyVISA is not installed; skipped")
    sys.exit(77)

from pyvisa.constants import Parity, StopBits, VI_ERROR_TMO


def serial(rm, path, stop_bits, write_end, read_end, timeout_ms):
    return rm.open_resource(f"ASRL{path}::INSTR", baud_rate=9600, data_bits=8, parity=Parity.none,
                            stop_bits=stop_bits, write_termination=write_end, read_termination=read_end,
                            timeout=timeout_ms)


def main():
    sim = subprocess.Popen([sys.argv[1], "--model", "60", "--meter-tcp", "0"], stdout=subprocess.PIPE, text=True)
    try:
        ports = {}
        while len(ports) < 3:
            line = sim.stdout.readline()
            if not line:
                raise SystemExit("psucal-sim ended before naming its ports")
            word, _, path = line.strip().partition(" ")
            ports[word] = path

        rm = pyvisa.ResourceManager("@py")
        supply = serial(rm, ports["supply"], StopBits.one, "\r", None, 2000)
        meter = serial(rm, ports["meter"], StopBits.two, "\n", "\r\n", 2000)
        # DTR: pyvisa-py cannot set it, but the serial port it opens asserts it, as the meter wants.

        supply.write("VOLT00120")  # 12.0 V
        assert supply.read_bytes(2) == b"OK", "the supply did not take 12.0 V"

        identity = meter.query("*IDN?")
        assert identity.startswith("HEWLETT-PACKARD,34401A,"), identity

        # In local the meter takes no reading: the query times out and error 550 is queued.
        meter.timeout = 1000
        meter.write(":READ?")
        try:
            got = meter.read()
            raise AssertionError(f":READ? in local answered {got!r}")
        except pyvisa.errors.VisaIOError as e:
            assert e.error_code == VI_ERROR_TMO, e
        meter.timeout = 2000
        error = meter.query(":SYST:ERR?")
        assert error.startswith("+550,"), error

        meter.write(":SYST:REM")
        meter.write(":CONF:VOLT:DC 60,0.01")
        raw = meter.query(":READ?")
        assert len(raw) == 15 and raw[0] in "+-" and raw[11] == "E", raw
        volts = float(raw)
        # An uncalibrated unit is within a few tenths of a volt of its set point.
        assert 11.5 < volts < 12.5, raw
        assert abs(volts * 100 - round(volts * 100)) < 1e-6, f"{raw} is finer than the 0.01 V asked for"

        # The same meter on the LAN: TCPIP::HOST::PORT::SOCKET, lines ended as on the serial line.
        address = ports["meter-tcp"].removeprefix("tcp://")
        host, _, port = address.rpartition(":")
        lan = rm.open_resource(f"TCPIP::{host}::{port}::SOCKET", write_termination="\n", read_termination="\r\n",
                               timeout=2000)
        lan_identity = lan.query("*IDN?")
        assert lan_identity == identity, lan_identity
        lan.write(":SYST:REM")
        lan.write(":CONF:VOLT:DC 60,0.01")
        lan_raw = lan.query(":READ?")
        assert abs(float(lan_raw) - volts) < 0.02, (lan_raw, raw)
        lan.close()

        meter.write(":SYST:LOC")

        meter.close()
        supply.close()
        rm.close()
        print(f"identity {identity}; reading {raw} ({volts} V)")
    finally:
        sim.terminate()
        sim.wait(5)


if __name__ == "__main__":
    main()
