#!/usr/bin/env python3
"""Builds the demo's airport list and traffic from the world's runways.

    scripts/demo_data/make_demo_data.py [RUNWAYS_CSV]

airports.xml: every airport with a four-character ident and runway
coordinates; its position is the mean of its runway ends, its elevation a
threshold elevation. traffic.txt: traffic lines of a few aircraft arriving at
and departing from the runways of LSZH, one line per aircraft and second,
for skyhaven-fake-rt --replay (which can put the current time into them).
"""
import csv
import math
import sys
from collections import defaultdict
from pathlib import Path

HERE = Path(__file__).resolve().parent
DEFAULT_CSV = HERE.parents[2] / "shared" / "testdata" / "world" / "runways.csv"
DEMO_AIRPORT = "LSZH"
NM_DEG = 1.0 / 60.0  # one nautical mile is one minute of arc


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


def move(lat, lon, bearing_deg, nm):
    """The point `nm` from (lat, lon) towards the bearing, on the sphere."""
    d = nm * NM_DEG * math.pi / 180.0
    b = math.radians(bearing_deg)
    p1, l1 = math.radians(lat), math.radians(lon)
    p2 = math.asin(math.sin(p1) * math.cos(d) + math.cos(p1) * math.sin(d) * math.cos(b))
    l2 = l1 + math.atan2(math.sin(b) * math.sin(d) * math.cos(p1), math.cos(d) - math.sin(p1) * math.sin(p2))
    return math.degrees(p2), math.degrees(l2)


def line(act, lat, lon, alt, vs, track, gs, callsign, actype, reg, origin, dest, airborne):
    f = ["0"] * 37
    f[0] = "TFC"
    f[1] = str(act)
    f[2], f[3] = f"{lat:.6f}", f"{lon:.6f}"
    f[4], f[5], f[6] = f"{alt:.0f}", f"{vs:.0f}", "1" if airborne else "0"
    f[7], f[8] = f"{track:.1f}", f"{gs:.0f}"
    f[9], f[10], f[11], f[12], f[13] = callsign, actype, reg, origin, dest
    f[14] = "1700000000.00"
    f[15], f[16], f[17] = callsign, f"{act:x}", "adsb_icao"
    f[18], f[19], f[20] = f"{alt:.0f}", f"{gs:.0f}", f"{gs + 10:.0f}"
    f[21], f[22], f[23], f[24], f[25] = "0.3", "0", "0", f"{track:.1f}", f"{track:.1f}"
    f[26], f[27], f[28] = "0", "1013.2", "A3"
    return ",".join(f)


def arrival(rwy, elevation, seconds, act, callsign, actype, reg, origin):
    """From 12 nm out down the 3-degree glide path, then the roll-out."""
    track = rwy["heading"]
    out = []
    distance, gs = 12.0, 150.0
    for _ in range(seconds):
        airborne = distance > 0.0
        if airborne:
            alt = elevation + distance * 318.0
            lat, lon = move(rwy["lat"], rwy["lon"], track + 180.0, distance)
            out.append(line(act, lat, lon, alt, -800, track, gs, callsign, actype, reg, origin, DEMO_AIRPORT, True))
            distance -= gs / 3600.0
        else:
            gs = max(gs - 4.0, 15.0)
            distance -= gs / 3600.0
            lat, lon = move(rwy["lat"], rwy["lon"], track, -distance)
            out.append(line(act, lat, lon, elevation, 0, track, gs, callsign, actype, reg, origin, DEMO_AIRPORT, False))
    return out


def departure(rwy, elevation, seconds, act, callsign, actype, reg, dest):
    """The take-off roll from the threshold, then the climb out."""
    track = rwy["heading"]
    out = []
    distance, gs, alt = 0.0, 0.0, elevation
    for _ in range(seconds):
        airborne = gs > 150.0
        if airborne:
            alt += 2000.0 / 60.0
            gs = min(gs + 1.0, 250.0)
        else:
            gs += 5.0
        distance += gs / 3600.0
        lat, lon = move(rwy["lat"], rwy["lon"], track, distance)
        out.append(line(act, lat, lon, alt, 2000 if airborne else 0, track, gs, callsign, actype, reg,
                        DEMO_AIRPORT, dest, airborne))
    return out


def write_traffic(runways, path):
    ends = {e["ident"]: e for e in runways[DEMO_AIRPORT]}
    elevation = next(e["elevation"] for e in runways[DEMO_AIRPORT] if e["elevation"] is not None)
    seconds = 300
    tracks = [
        arrival(ends["14"], elevation, seconds, 4511001, "SWR123", "A320", "HB-JLT", "LSGG"),
        arrival(ends["14"], elevation, seconds, 4511002, "DLH5RT", "A320", "D-AIPA", "EDDF"),
        departure(ends["16"], elevation, seconds, 4511003, "EZY17CP", "A320", "G-EZTA", "EGKK"),
        departure(ends["28"], elevation, seconds, 4511004, "BAW713", "B738", "G-GATV", "EGLL"),
    ]
    # The second arrival is two minutes behind the first.
    tracks[1] = tracks[1][-120:] + tracks[1][:-120]
    with open(path, "w", encoding="utf-8") as out:
        out.write(f"# Traffic at {DEMO_AIRPORT}: one line per aircraft and second, built by make_demo_data.py\n")
        for second in range(seconds):
            for track in tracks:
                out.write(track[second] + "\n")
    return len(tracks)


def main():
    csv_path = Path(sys.argv[1]) if len(sys.argv) > 1 else DEFAULT_CSV
    runways = read_runways(csv_path)
    airports = write_airports(runways, HERE / "airports.xml")
    aircraft = write_traffic(runways, HERE / "traffic.txt")
    print(f"{airports} airports, {aircraft} aircraft at {DEMO_AIRPORT}")


if __name__ == "__main__":
    main()
