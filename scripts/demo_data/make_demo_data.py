#!/usr/bin/env python3
"""Builds the demo's airport list from the world's runways.

    scripts/demo_data/make_demo_data.py [RUNWAYS_CSV]

airports.xml: every airport with a four-character ident and runway
coordinates; its position is the mean of its runway ends, its elevation a
threshold elevation. (The demo's traffic is made at each run by
scripts/demo_traffic.py.)
"""
import csv
import math
import sys
from collections import defaultdict
from pathlib import Path

HERE = Path(__file__).resolve().parent
DEFAULT_CSV = HERE.parents[2] / "shared" / "testdata" / "world" / "runways.csv"


def number(text):
    try:
        value = float(text)
    except ValueError:
        return None
    return value if math.isfinite(value) else None


def read_runways(path):
    runways = defaultdict(list)
    with open(path, newline="", encoding="utf-8") as f:
        for row in csv.DictReader(f):
            ident = row["airport_ident"]
            if len(ident) != 4 or not ident.isalnum():
                continue
            for end in ("le", "he"):
                lat, lon = number(row[end + "_latitude_deg"]), number(row[end + "_longitude_deg"])
                if lat is None or lon is None:
                    continue
                runways[ident].append({
                    "ident": row[end + "_ident"],
                    "lat": lat,
                    "lon": lon,
                    "elevation": number(row[end + "_elevation_ft"]),
                    "heading": number(row[end + "_heading_degT"]),
                })
    return runways


def write_airports(runways, path):
    count = 0
    with open(path, "w", encoding="utf-8") as out:
        out.write('<?xml version="1.0" encoding="UTF-8"?>\n<airports>\n')
        for ident in sorted(runways):
            ends = runways[ident]
            elevations = [e["elevation"] for e in ends if e["elevation"] is not None]
            if not elevations:
                continue
            lat = sum(e["lat"] for e in ends) / len(ends)
            lon = sum(e["lon"] for e in ends) / len(ends)
            out.write(f'  <airport code="{ident}" lat="{lat:.6f}" lon="{lon:.6f}" alt="{elevations[0]:.0f}"/>\n')
            count += 1
        out.write("</airports>\n")
    return count


def main():
    csv_path = Path(sys.argv[1]) if len(sys.argv) > 1 else DEFAULT_CSV
    runways = read_runways(csv_path)
    airports = write_airports(runways, HERE / "airports.xml")
    print(f"{airports} airports")


if __name__ == "__main__":
    main()
