#!/usr/bin/env python3
"""Reads a track export with Python's own strict parsers and prints what they see: a line per
track (GPX, KML, GeoJSON), its name as json.dumps writes it and its point count; or per CSV row,
its name so, its id, its time in seconds and its status.
Fails (status 1) on a file the parser refuses or whose parts do not agree.

    export_names.py gpx|kml|geojson|csv FILE
"""
import csv
import json
import sys
import xml.etree.ElementTree as ElementTree

GPX = "{http://www.topografix.com/GPX/1/1}"
KML = "{http://www.opengis.net/kml/2.2}"
GX = "{http://www.google.com/kml/ext/2.2}"


def tracks(kind, path):
    if kind == "gpx":
        root = ElementTree.parse(path).getroot()
        assert root.tag == GPX + "gpx" and root.get("version") == "1.1", root.tag
        for trk in root.findall(GPX + "trk"):
            yield trk.findtext(GPX + "name"), len(trk.findall(GPX + "trkseg/" + GPX + "trkpt"))
    elif kind == "kml":
        for mark in ElementTree.parse(path).getroot().iter(KML + "Placemark"):
            track = mark.find(GX + "Track")
            count = len(track.findall(GX + "coord"))
            assert len(track.findall(KML + "when")) == count, "a time for every position"
            yield mark.findtext(KML + "name"), count
    elif kind == "geojson":
        with open(path, encoding="utf-8") as f:
            collection = json.load(f)
        assert collection["type"] == "FeatureCollection"
        for feature in collection["features"]:
            geometry, properties = feature["geometry"], feature["properties"]
            count = 1 if geometry["type"] == "Point" else len(geometry["coordinates"])
            assert len(properties["times"]) == count, "a time for every position"
            yield properties["name"], count
    else:
        with open(path, encoding="utf-8", newline="") as f:
            rows = list(csv.reader(f))
        for row in rows[2:]:
            assert len(row) == len(rows[0]), "a field for every column type: %r" % row
            yield row[1], " ".join((row[0], row[2], row[6]))


for name, rest in tracks(sys.argv[1], sys.argv[2]):
    print(json.dumps(name), rest)
