#!/usr/bin/env python3
"""Writes a file of RealTraffic traffic lines around a real airport, for the
fake RealTraffic to replay: arrivals that land on its runways and taxi off,
departures that roll, lift off and climb out, overflights at cruise levels and
a few aircraft taxiing. Positions come from the runway ends of runways.csv;
every aircraft reports every 2 s; the lines are in time order, their
timestamps counting from --start (the replay puts the current time in).
With --stands-out it also writes a stand file of the airport with a stand
a few metres beyond where each aircraft on the ground comes to rest, sized
for its type, so that the airport can be the park airport and its arrivals
taxi onto a free stand that fits them and park; --stands-in names a stand
file whose stands come first (the generated ones keep clear of them)."""

import argparse
import csv
import re
import math
import random
import sys

NM_PER_DEG = 60.0
FT_PER_NM = 6076.11549

# Airline, type, registration prefix, callsign prefix: what the demo's
# aircraft data and liveries (scripts/demo_data) know.
FLEET = [
    ("DLH", "A320", "D-AI", "DLH"),
    ("DLH", "A20N", "D-AIN", "DLH"),
    ("SWR", "A20N", "HB-JD", "SWR"),
    ("BAW", "A319", "G-EU", "BAW"),
    ("EZY", "A320", "G-EZ", "EZY"),
    ("RYR", "B738", "EI-D", "RYR"),
    ("KLM", "B738", "PH-BX", "KLM"),
    ("AFR", "A321", "F-GT", "AFR"),
    ("UAE", "A388", "A6-EU", "UAE"),
    ("QTR", "B77W", "A7-BE", "QTR"),
    ("FDX", "B77W", "N85", "FDX"),
    ("UPS", "B763", "N3", "UPS"),
]
ROUTES = ["EGLL", "LFPG", "EDDM", "LSGG", "EHAM", "LEMD", "LIRF", "OMDB", "OTHH", "KJFK", "EKCH", "LOWW"]


# The columns of the world's runway list that this script and
# demo_data/make_demo_data.py read.
RUNWAY_COLUMNS = ["airport_ident", "closed", "length_ft"] + [
    end + column for end in ("le_", "he_")
    for column in ("ident", "latitude_deg", "longitude_deg", "elevation_ft", "heading_degT")]


class RunwayListError(Exception):
    """A runway list this script cannot use; the text says why, in one line."""


def runways_of(path, ident):
    """Runways of the airport that airliners use (5000 ft or longer, both ends
    and an elevation known), as (low end, high end, elevation); a file that is
    no runway list, or has none of them, raises RunwayListError."""
    out = []
    try:
        with open(path, newline="", encoding="utf-8") as f:
            rows = csv.DictReader(f)
            if rows.fieldnames is None:
                raise RunwayListError("%s: not the world's runway list: it is empty" % path)
            missing = [c for c in RUNWAY_COLUMNS if c not in rows.fieldnames]
            if missing:
                raise RunwayListError("%s: not the world's runway list: its header has no %s (the columns the demo "
                                      "reads)" % (path, ", ".join(missing)))
            for row in rows:
                if row["airport_ident"] != ident or row["closed"] == "1":
                    continue
                try:
                    le = (float(row["le_latitude_deg"]), float(row["le_longitude_deg"]))
                    he = (float(row["he_latitude_deg"]), float(row["he_longitude_deg"]))
                    elevation = float(row["le_elevation_ft"] or row["he_elevation_ft"])
                    long_enough = float(row["length_ft"]) >= 5000.0
                except (TypeError, ValueError):  # a short row has None for its missing fields
                    continue
                if long_enough:
                    out.append((le, he, elevation))
    except UnicodeDecodeError as e:
        raise RunwayListError("%s: not the world's runway list: not UTF-8 text (byte %d)" % (path, e.start)) from None
    except csv.Error as e:
        raise RunwayListError("%s: not the world's runway list: line %d: %s" % (path, rows.line_num, e)) from None
    except OSError as e:
        raise RunwayListError("%s: cannot be read: %s" % (path, e.strerror or e)) from None
    if not out:
        raise RunwayListError("%s: holds no runway of %s that airliners use (5000 ft or longer, both ends and an "
                              "elevation known)" % (path, ident))
    return out


def bearing(a, b):
    lat1, lat2 = math.radians(a[0]), math.radians(b[0])
    dlon = math.radians(b[1] - a[1])
    y = math.sin(dlon) * math.cos(lat2)
    x = math.cos(lat1) * math.sin(lat2) - math.sin(lat1) * math.cos(lat2) * math.cos(dlon)
    return math.degrees(math.atan2(y, x)) % 360.0


def distance_nm(a, b):
    lat1, lat2 = math.radians(a[0]), math.radians(b[0])
    dlat, dlon = lat2 - lat1, math.radians(b[1] - a[1])
    h = math.sin(dlat / 2) ** 2 + math.cos(lat1) * math.cos(lat2) * math.sin(dlon / 2) ** 2
    return 2 * math.asin(min(1.0, math.sqrt(h))) * 180 * 60 / math.pi


def move(p, track_deg, nm):
    """Flat-earth step, good enough over a few dozen miles."""
    t = math.radians(track_deg)
    lat = p[0] + nm * math.cos(t) / NM_PER_DEG
    lon = p[1] + nm * math.sin(t) / (NM_PER_DEG * math.cos(math.radians(p[0])))
    return (lat, lon)


# Wide-bodies take the larger stands; the rest fit a narrow-body stand.
WIDE = {"A388", "B77W", "B763", "B744"}
STAND_BEYOND_M = 15.0   # from where the aircraft stops to its stand: driven the last metres
STAND_CLEARANCE_M = 110.0  # no two stands closer, so that no stand excludes another


def metres(a, b):
    return distance_nm(a, b) * 1852.0


class Flight:
    def __init__(self, hexid, fleet, number, origin, destination):
        self.rest = None  # (lat, lon, heading) where it stops on the ground
        airline, self.type, reg, prefix = fleet
        self.hexid = hexid
        self.callsign = "%s%d" % (prefix, number)
        self.registration = "%s%s" % (reg, chr(65 + number % 26) + chr(65 + (number // 26) % 26))
        self.origin, self.destination = origin, destination
        self.points = []  # (t, lat, lon, alt_ft (0 on the ground), gs_kt, track, vs_fpm)

    def add(self, t, pos, alt, gs, track, vs):
        self.points.append((t, pos[0], pos[1], max(0.0, alt), gs, track, vs))


def arrival(f, t0, runway, elevation, step, taken):
    """A 6 nm final at 140 kt on a 3 degree path, touch-down, roll-out, taxi off."""
    threshold, far_end = runway
    track = bearing(threshold, far_end)
    t, d = t0, 6.0
    while d > 0:
        pos = move(threshold, track + 180.0, d)
        f.add(t, pos, elevation + d * FT_PER_NM * math.tan(math.radians(3.0)), 140.0, track, -740.0)
        t += step
        d -= 140.0 * step / 3600.0
    length = distance_nm(threshold, far_end)
    d, gs = 0.05, 130.0
    while d < length * 0.6 and gs > 15:
        f.add(t, move(threshold, track, d), 0.0, gs, track, 0.0)
        t += step
        d += gs * step / 3600.0
        gs = max(15.0, gs - 12.0)
    # Off the runway, on until its stand a few metres ahead is clear of the others.
    off = (track + 90.0) % 360.0
    taxi_to_stand(f, t, move(threshold, track, d), off, 0.012, 1, 8, 15.0, step, taken)


def taxi_to_stand(f, t, start, heading, stride_nm, first, at_least, gs, step, taken):
    """Taxis from `start` on `heading`, a stride a step from step `first` on,
    at least to step `at_least` and on until the stand ahead is clear; stops there."""
    k = first
    while k < at_least or not clear(stand_ahead(move(start, heading, stride_nm * (k - 1)), heading), taken):
        f.add(t, move(start, heading, stride_nm * k), 0.0, gs, heading, 0.0)
        t += step
        k += 1
    stop(f, t, heading, step, taken)


def stand_ahead(pos, heading):
    return move(pos, heading, STAND_BEYOND_M / 1852.0)


def clear(pos, taken):
    return all(metres(pos, other) >= STAND_CLEARANCE_M for other in taken)


def stop(f, t, heading, step, taken):
    """Stands still where it came to rest; its stand lies a few metres ahead."""
    last = f.points[-1]
    stand = stand_ahead((last[1], last[2]), heading)
    f.rest = (stand[0], stand[1], heading)
    taken.append(stand)
    for _ in range(3):
        f.add(t, (last[1], last[2]), 0.0, 0.0, heading, 0.0)
        t += step * 4


def departure(f, t0, runway, elevation, step):
    """Line-up, take-off roll, lift-off at 150 kt, climb-out to 8 nm."""
    threshold, far_end = runway
    track = bearing(threshold, far_end)
    t = t0
    for _ in range(3):
        f.add(t, threshold, 0.0, 0.0, track, 0.0)
        t += step * 3
    d, gs = 0.0, 10.0
    while gs < 150.0:
        f.add(t, move(threshold, track, d), 0.0, gs, track, 0.0)
        t += step
        d += gs * step / 3600.0
        gs += 14.0
    alt = elevation + 50.0
    while d < 8.0:
        f.add(t, move(threshold, track, d), alt, min(250.0, gs), track, 2200.0)
        t += step
        d += min(250.0, gs) * step / 3600.0
        gs += 4.0
        alt += 2200.0 * step / 60.0


def overflight(f, t0, centre, rng, step):
    """A straight line across the area at a cruise level."""
    track = rng.uniform(0.0, 360.0)
    level = rng.choice([24000.0, 28000.0, 33000.0, 37000.0])
    abeam = move(centre, track + 90.0, rng.uniform(-8.0, 8.0))
    d, t = -9.0, t0
    while d < 9.0:
        f.add(t, move(abeam, track, d), level, 450.0, track, 0.0)
        t += step
        d += 450.0 * step / 3600.0


def ground_movement(f, t0, runway, step, taken):
    """A taxi along the runway's side, then a stop."""
    threshold, far_end = runway
    track = bearing(threshold, far_end)
    start = move(threshold, (track + 90.0) % 360.0, 0.1)
    taxi_to_stand(f, t0, start, track, 0.004, 0, 40, 14.0, step, taken)


def line(f, p, start):
    t, lat, lon, alt, gs, track, vs = p
    fields = ["0"] * 37
    fields[0] = "TFC"
    fields[1] = str(f.hexid)
    fields[2] = "%.6f" % lat
    fields[3] = "%.6f" % lon
    fields[4] = "%.0f" % alt
    fields[5] = "%.0f" % vs
    fields[6] = "1"
    fields[7] = "%.1f" % (track if track > 0 else 360.0)
    fields[8] = "%.0f" % gs
    fields[9] = f.callsign
    fields[10] = f.type
    fields[11] = f.registration
    fields[12] = f.origin
    fields[13] = f.destination
    fields[14] = "%.2f" % (start + t)
    fields[15] = f.callsign
    fields[16] = "%x" % f.hexid
    fields[17] = "adsb_icao"
    fields[18] = fields[4]
    fields[20] = "%.0f" % (gs if alt > 0 else -1)
    fields[23] = "-1"
    fields[25] = "%.1f" % (track if track > 0 else 360.0)
    fields[27] = "1013.2"
    fields[28] = "A3"
    return ",".join(fields)


def base_stands(path):
    """The text of a stand file and the positions of its stands."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    positions = [(float(a), float(b)) for a, b in
                 re.findall(r'<parkpos [^>]*latitude="([-0-9.]+)" longitude="([-0-9.]+)"', text)]
    return text, positions


def write_stands(path, ident, elevation, flights, base):
    """A stand file: a stand where each aircraft on the ground comes to rest
    (radius 36 m for a wide-body, else 22 m), after the stands of `base`."""
    rests = [(f.rest, 36.0 if f.type in WIDE else 22.0) for f in flights if f.rest is not None]
    lines = ['\t<parkpos id="D%d" latitude="%.6f" longitude="%.6f" heading="%.1f" radius="%.1f" '
             'cargo="false" ramp="false"/>\n' % (i + 1, lat, lon, heading, radius)
             for i, ((lat, lon, heading), radius) in enumerate(rests)]
    if base is None:
        text = ('<?xml version="1.0" encoding="UTF-8"?>\n'
                '<meta><info name="author" value="demo"/><info name="date" value="2026-01-01"/>'
                '<info name="version" value="1.0.0"/></meta>\n'
                '<parameters><parameter name="airport_name" value="%s demo stands"/>'
                '<parameter name="publisher" value="stock"/><parameter name="altitude" value="%d"/>'
                '<parameter name="num_parkpos" value="0"/></parameters>\n'
                '<parkpositions>\n</parkpositions>\n' % (ident, elevation))
        count = 0
    else:
        text, positions = base
        count = len(positions)
    text = text.replace("</parkpositions>", "".join(lines) + "</parkpositions>", 1)
    text = re.sub(r'(name="num_parkpos" value=")[0-9]*', r"\g<1>%d" % (count + len(lines)), text, count=1)
    with open(path, "w", encoding="utf-8") as out:
        out.write(text)


def minutes(text):
    """How long new flights keep coming: more than 0 and at most 60 minutes
    (more makes a file that takes minutes to write and hours to replay)."""
    try:
        value = float(text)
    except ValueError:
        raise argparse.ArgumentTypeError("%r is not a number of minutes" % text) from None
    if not 0.0 < value <= 60.0:
        raise argparse.ArgumentTypeError("%r is out of range (more than 0, at most 60)" % text)
    return value


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("--runways", required=True, help="runways.csv of the world runway data")
    ap.add_argument("--airport", default="LSZH")
    ap.add_argument("--minutes", type=minutes, default=2.0, help="how long new flights keep coming (up to 60)")
    ap.add_argument("--start", type=float, default=1700000000.0, help="timestamp of the first line")
    ap.add_argument("--seed", type=int, default=7)
    ap.add_argument("--out")
    ap.add_argument("--stands-out", help="a stand file with a stand where each aircraft on the ground stops")
    ap.add_argument("--stands-in", help="a stand file whose stands --stands-out keeps")
    ap.add_argument("--check", action="store_true",
                    help="only check that --runways holds runways of the airport to make traffic on")
    args = ap.parse_args()
    if not args.check and not args.out:
        ap.error("the following arguments are required: --out")

    try:
        runways = runways_of(args.runways, args.airport)
    except RunwayListError as e:
        sys.exit(str(e))
    if args.check:
        return
    base = base_stands(args.stands_in) if args.stands_in else None
    taken = list(base[1]) if base else []  # stands the generated ones keep clear of
    rng = random.Random(args.seed)
    step = 2.0
    centre = runways[0][0]
    flights = []
    hexid = 0x4B0000
    number = 100
    t = 0.0
    kinds = ["arrival", "departure", "overflight", "arrival", "departure", "ground"]
    k = 0
    while t < args.minutes * 60.0:
        le, he, elevation = rng.choice(runways)
        runway = (le, he) if rng.random() < 0.5 else (he, le)
        fleet = rng.choice(FLEET)
        kind = kinds[k % len(kinds)]
        other = rng.choice(ROUTES)
        origin, destination = (other, args.airport) if kind == "arrival" else (args.airport, other)
        f = Flight(hexid, fleet, number, origin, destination)
        if kind == "arrival":
            arrival(f, t, runway, elevation, step, taken)
        elif kind == "departure":
            departure(f, t, runway, elevation, step)
        elif kind == "overflight":
            f.origin, f.destination = rng.choice(ROUTES), rng.choice(ROUTES)
            overflight(f, t, centre, rng, step)
        else:
            ground_movement(f, t, runway, step, taken)
        flights.append(f)
        hexid += 17
        number += 1
        k += 1
        t += rng.uniform(8.0, 16.0)

    rows = sorted(((p[0], i, p) for i, f in enumerate(flights) for p in f.points), key=lambda r: (r[0], r[1]))
    with open(args.out, "w", encoding="ascii") as out:
        out.write("# %d flights around %s, %d lines\n" % (len(flights), args.airport, len(rows)))
        for _, i, p in rows:
            out.write(line(flights[i], p, args.start) + "\n")
    print("%s: %d flights, %d lines over %.0f s" % (args.out, len(flights), len(rows), rows[-1][0]))
    if args.stands_out:
        write_stands(args.stands_out, args.airport, round(runways[0][2]), flights, base)


if __name__ == "__main__":
    main()
