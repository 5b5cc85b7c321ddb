#!/usr/bin/env python3
"""Writes pv-log.csv: one summer day of a photovoltaic inverter's log, a line
a minute (time hhmmss; power in W; DC voltage in V; current in A), CR LF line
ends. The day curve follows the sun with passing clouds; the noise comes from
a fixed seed, so every run writes the same bytes.

Usage: make_sample.py [output path]   (default: pv-log.csv beside this script)
"""

import math
import pathlib
import random
import sys

HEADER = "Zeit;Leistung_W;Spannung_V;Strom_A"
SUNRISE = 5 * 3600 + 47 * 60
SUNSET = 21 * 3600 + 13 * 60
PEAK_POWER = 7850.0
SEED = 20260621


def measurement(sun_height, cloud, rng):
    """Power, voltage and current at a moment with the sun at `sun_height`
    (0 to 1) behind clouds letting `cloud` (0 to 1) of the light through."""
    power = PEAK_POWER * sun_height ** 1.3 * cloud
    voltage = 548.0 + 96.0 * sun_height ** 0.25 + rng.uniform(-1.5, 1.5)
    return power, voltage, power / voltage


def day_lines(seed=SEED):
    rng = random.Random(seed)
    cloud = 1.0
    lines = [HEADER]
    for minute in range(24 * 60):
        second = minute * 60
        power = voltage = current = 0.0
        if SUNRISE < second < SUNSET:
            sun_height = math.sin(math.pi * (second - SUNRISE) / (SUNSET - SUNRISE))
            cloud = min(1.0, max(0.3, cloud + rng.uniform(-0.09, 0.08)))
            power, voltage, current = measurement(sun_height, cloud, rng)
        hours, minutes = divmod(minute, 60)
        lines.append(f"{hours:02d}{minutes:02d}00;{power:.1f};{voltage:.1f};{current:.2f}")
    return lines


def main(argv):
    target = pathlib.Path(argv[1]) if len(argv) > 1 else pathlib.Path(__file__).with_name("pv-log.csv")
    target.write_bytes(("\r\n".join(day_lines()) + "\r\n").encode("ascii"))


if __name__ == "__main__":
    main(sys.argv)
