"""Checks a track written by `tarnwick decode|watch --format gpx|geojson` against the records
`tarnwick decode --format json` gives for the same input.

Usage: check_track.py gpx|geojson TRACK RECORDS [--run]

Without --run the track must hold one point for each RMC with status A, in order. With --run it
must hold consecutive ones of them (a live log starts and ends anywhere in the recording), and
its last point may lack what the GGA after its RMC would have brought (the log ended between).
Prints "points N" and exits 0 when the track is right; prints what is wrong and exits 1.
"""

import datetime
import json
import sys
import xml.etree.ElementTree

import gpxpy

TOLERANCE = 1e-7
EXTENSIONS = "{urn:tarnwick:gpx:1}"


def degrees(position, axis, negative):
    value = position[axis + "_deg"] + position[axis + "_min"] / 60.0
    return -value if position[axis + "_hemi"] == negative else value


def time_key(time):
    return (time["hour"], time["minute"], time["second"])


def expected_fixes(records_path):
    """The valid fixes in order, each with the GGA and GSA of its epoch when there is one."""
    fixes = []
    gga_by_time = {}
    with open(records_path, encoding="utf-8") as records:
        for line in records:
            record = json.loads(line)
            if record["type"] == "GGA":
                gga_by_time[time_key(record["time"])] = record
            if record["type"] == "RMC" and record["status"] == "A":
                time = record["time"]
                whole = int(time["second"])
                fixes.append(
                    {
                        "lat": degrees(record["position"], "lat", "S"),
                        "lon": degrees(record["position"], "lon", "W"),
                        "time": datetime.datetime(
                            2000 + record["year"],
                            record["month"],
                            record["day"],
                            time["hour"],
                            time["minute"],
                            whole,
                            round((time["second"] - whole) * 1e6),
                            tzinfo=datetime.timezone.utc,
                        ),
                        "speed": record["speed"] * 1852 / 3600,
                        "course": record["course"],
                        "key": time_key(time),
                    }
                )
    for fix in fixes:
        gga = gga_by_time.get(fix["key"])
        fix["ele"] = gga["altitude"] if gga and gga["altitude_unit"] == "M" else None
        fix["sat"] = gga["satellites"] if gga and gga["satellites"] > 0 else None
    return fixes


def gpx_points(path):
    with open(path, encoding="utf-8") as text:
        content = text.read()
    xml.etree.ElementTree.fromstring(content)  # well-formed, or it raises
    gpx = gpxpy.parse(content)
    if gpx.version != "1.1":
        raise ValueError("GPX version %r" % gpx.version)
    if len(gpx.tracks) != 1 or len(gpx.tracks[0].segments) != 1:
        raise ValueError("not one track of one segment")
    points = []
    for point in gpx.tracks[0].segments[0].points:
        extensions = {element.tag: float(element.text) for element in point.extensions}
        points.append(
            {
                "lat": point.latitude,
                "lon": point.longitude,
                "time": point.time,
                "ele": point.elevation,
                "sat": point.satellites,
                "speed": extensions.get(EXTENSIONS + "speed"),
                "course": extensions.get(EXTENSIONS + "course"),
            }
        )
    return points


def geojson_points(path):
    with open(path, encoding="utf-8") as text:
        document = json.load(text)
    if document["type"] != "FeatureCollection":
        raise ValueError("not a FeatureCollection")
    points = []
    lines = []
    for feature in document["features"]:
        geometry = feature["geometry"]
        if geometry["type"] == "LineString":
            lines.append(geometry["coordinates"])
            continue
        if geometry["type"] != "Point":
            raise ValueError("a %s feature" % geometry["type"])
        properties = feature["properties"]
        lon, lat = geometry["coordinates"]
        points.append(
            {
                "lat": lat,
                "lon": lon,
                "time": datetime.datetime.fromisoformat(
                    properties["time"].replace("Z", "+00:00")
                ),
                "ele": properties.get("ele"),
                "sat": properties.get("sat"),
                "speed": properties.get("speed"),
                "course": properties.get("course"),
            }
        )
    expected_lines = [[[p["lon"], p["lat"]] for p in points]] if len(points) > 1 else []
    if lines != expected_lines:
        raise ValueError("the LineString is not the points' line")
    return points


def close(a, b, tolerance):
    return a is not None and b is not None and abs(a - b) <= tolerance


def differences(point, fix, partial=False):
    """What point has otherwise than fix; partial: the epoch may have ended before its GGA."""
    found = []
    for axis in ("lat", "lon"):
        if not close(point[axis], fix[axis], TOLERANCE):
            found.append("%s %r, not %r" % (axis, point[axis], fix[axis]))
    if point["time"] != fix["time"]:
        found.append("time %s, not %s" % (point["time"], fix["time"]))
    if partial and point["ele"] is None and point["sat"] is None:
        pass
    elif fix["ele"] is None:
        if point["ele"] is not None:
            found.append("ele %r without a GGA altitude" % point["ele"])
    elif not close(point["ele"], fix["ele"], 1e-6):
        found.append("ele %r, not %r" % (point["ele"], fix["ele"]))
    if point["sat"] != fix["sat"] and not (partial and point["sat"] is None):
        found.append("sat %r, not %r" % (point["sat"], fix["sat"]))
    if not close(point["speed"], fix["speed"], 6e-4):
        found.append("speed %r, not %r" % (point["speed"], fix["speed"]))
    if not close(point["course"], fix["course"], 1e-6):
        found.append("course %r, not %r" % (point["course"], fix["course"]))
    return found


def check(points, fixes, run):
    start = 0
    if run and points:
        starts = [i for i, fix in enumerate(fixes) if fix["time"] == points[0]["time"]]
        if not starts:
            return ["the first point's time %s is no fix's" % points[0]["time"]]
        start = starts[0]
        fixes = fixes[start : start + len(points)]
    if len(points) != len(fixes):
        return ["%d points for %d valid fixes" % (len(points), len(fixes))]
    problems = []
    for index, (point, fix) in enumerate(zip(points, fixes)):
        partial = run and index == len(points) - 1
        found = differences(point, fix, partial)
        problems += ["point %d: %s" % (start + index, d) for d in found]
    return problems


def main(arguments):
    run = "--run" in arguments
    arguments = [a for a in arguments if a != "--run"]
    if len(arguments) != 3 or arguments[0] not in ("gpx", "geojson"):
        print(__doc__)
        return 2
    kind, track, records = arguments
    try:
        points = (gpx_points if kind == "gpx" else geojson_points)(track)
    except Exception as error:  # any parse failure is the finding
        print("unreadable %s: %s" % (kind, error))
        return 1
    problems = check(points, expected_fixes(records), run)
    print("points %d" % len(points))
    for problem in problems[:20]:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
