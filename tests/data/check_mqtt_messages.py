#!/usr/bin/env python3
"""Checks what a logged run published against docs/tq800-mqtt.schema.json.

    check_mqtt_messages.py SCHEMA MESSAGES

MESSAGES holds one JSON object a line, {"topic": ..., "payload": ...}, the
payload as the broker handed it out. Every message must fit its topic's
definition (and a reading, an event or a meta exactly one branch of the
schema's whole); the run must have covered every family, both sources and
a download; and every wrong message of the table below, each made from a
real one, must be refused. Prints each failure; exit status 1 if any.
"""
import copy
import datetime
import json
import re
import sys

import jsonschema

# RFC 3339 as the schema's "date-time" means it: a date, a time, an offset.
# Checked here rather than trusting the library's optional helpers, which a
# system may lack (then "date-time" silently checks nothing).
RFC3339 = re.compile(r"^\d{4}-\d\d-\d\d[Tt]\d\d:\d\d:\d\d(\.\d+)?([Zz]|[+-]\d\d:\d\d)$")
formats = jsonschema.FormatChecker()


@formats.checks("date-time", raises=ValueError)
def is_date_time(text):
    if not isinstance(text, str):
        return True
    if not RFC3339.match(text):
        return False
    datetime.datetime.fromisoformat(text.upper().replace("Z", "+00:00"))   # a real day, hour, offset
    return True


DELETE = object()
# (what is wrong, topic, which real message it starts from, path, value)
WRONG = [
    ("an unknown field", "reading", {}, ["valeu"], 7.01),
    ("a unit no quantity has", "reading", {}, ["value", "unit"], "banana"),
    ("a mode the meter has not", "reading", {}, ["mode"], "XYZ"),
    ("no columns", "reading", {}, ["columns"], []),
    ("a negative settings seq", "reading", {}, ["settings_seq"], -5),
    ("an empty meter id", "reading", {}, ["meter"], ""),
    ("a receipt time that is no time", "reading", {}, ["received"], "yesterday"),
    ("a time without its offset", "reading", {}, ["time"], "2026-12-07T10:15:02.123"),
    ("the 30th of February", "reading", {}, ["time"], "2026-02-30T10:15:02.123+01:00"),
    ("a family no layout has", "reading", {}, ["family"], "pOH"),
    ("a source of neither kind", "reading", {}, ["source"], "guess"),
    ("a row 0", "reading", {}, ["row"], 0),
    ("a number as text", "reading", {}, ["value", "number"], "7.01"),
    ("a quantity without its text", "reading", {}, ["value", "shown"], DELETE),
    ("a stray field in a derived quantity", "reading", {"family": "COND"}, ["derived", 0, "note"], "x"),
    ("a temperature in °F", "reading", {}, ["temperature", "unit"], "°F"),
    ("a reading without its key", "reading", {}, ["seq"], DELETE),
    ("an event no one sends", "event", {}, ["event"], "no_such_event"),
    ("settings fields that are no object", "event", {"event": "settings"}, ["fields"], "garbage"),
    ("a setting's number as text", "event", {"event": "settings"}, ["fields", "CalOffset"], "-1.35"),
    ("a setting no frame has", "event", {"event": "settings"}, ["fields", "Colour"], 3),
    ("a field of another event", "event", {"event": "start"}, ["cause"], "Clear"),
    ("a begin without its header", "event", {"event": "begin"}, ["header"], DELETE),
    ("an end of no known kind", "event", {"event": "end"}, ["how"], "vanished"),
    ("an event without its time", "event", {}, ["utc"], DELETE),
    ("a UTC time with an offset", "event", {}, ["utc"], "2026-12-07T10:15:02.123+01:00"),
    ("an event with no recording", "event", {}, ["recording"], None),
    ("a meta with an unknown field", "meta", {}, ["extra"], 1),
    ("a meta's slope as text", "meta", {}, ["settings", "CalSlope"], "98.7"),
    ("a meta without its version", "meta", {}, ["version"], DELETE),
    ("a status of neither kind", "status", {}, [], "maybe"),
    ("a sample as a number", "reading", {}, ["sample"], 1043),
    ("a reading without its sample", "reading", {}, ["sample"], DELETE),
    ("a sample without its method", "event", {"event": "sample"}, ["method"], DELETE),
]

# Events another part of the program sends that a short run does not
# provoke: right as given, wrong as altered.
MADE = [
    ("broker_refused", {"reason": "not authorised", "code": 5, "topic": "tq800/test/reading"}, True),
    ("broker_flaps", {"count": 4}, True),
    ("broker_refused", {"reason": "not authorised", "code": "5", "topic": "tq800/test/reading"}, False),
    ("broker_refused", {"reason": "not authorised", "topic": "tq800/test/reading"}, False),
    ("broker_flaps", {"count": 0}, False),
    ("note", {"text": "bubble on the electrode", "from_row": 2, "to_row": 3}, True),
    ("note", {"text": ""}, False),
    ("signature", {"account": "ann", "name": "Ann Smith", "meaning": "reviewed", "reason": "checked",
                   "signed_fingerprint": "0f" * 32, "signed_entries": 12}, True),
    ("signature", {"account": "ann", "name": "Ann Smith", "meaning": "witnessed", "reason": "checked",
                   "signed_fingerprint": "0f" * 32, "signed_entries": 12}, False),
    ("signature", {"account": "ann", "name": "Ann Smith", "meaning": "reviewed", "reason": "checked",
                   "signed_entries": 12}, False),
]


def validator(schema, name):
    part = dict(schema)
    part.pop("oneOf")
    part["$ref"] = "#/$defs/" + name
    return jsonschema.Draft202012Validator(part, format_checker=formats)


def altered(message, path, value):
    m = copy.deepcopy(message)
    if not path:
        return value
    at = m
    for key in path[:-1]:
        at = at[key]
    if value is DELETE:
        del at[path[-1]]
    else:
        at[path[-1]] = value
    return m


def main():
    schema = json.load(open(sys.argv[1], encoding="utf-8"))
    jsonschema.Draft202012Validator.check_schema(schema)
    whole = jsonschema.Draft202012Validator(schema, format_checker=formats)
    checks = {name: validator(schema, name) for name in ("reading", "event", "meta", "status")}
    failures = []
    seen = {name: [] for name in checks}
    for line in open(sys.argv[2], encoding="utf-8"):
        got = json.loads(line)
        kind = got["topic"].rsplit("/", 1)[-1]
        if kind not in checks:
            failures.append("a message on an unknown topic: %s" % got["topic"])
            continue
        message = got["payload"] if kind == "status" else json.loads(got["payload"])
        seen[kind].append(message)
        for error in checks[kind].iter_errors(message):
            failures.append("%s: %s at %s in %s" % (kind, error.message, list(error.absolute_path), got["payload"][:300]))
        if kind != "status" and not whole.is_valid(message):
            failures.append("%s does not fit the schema as a whole: %s" % (kind, got["payload"][:300]))

    readings = seen["reading"]
    covered = {(r["family"], r["source"]) for r in readings}
    if not any(r["sample"] and r["batch"] and r["method"] for r in readings):
        failures.append("no reading of a named sample in the run")
    for family in ("pH", "mV", "ISE", "COND", "DO"):
        if (family, "live") not in covered:
            failures.append("no live %s reading in the run" % family)
    if not any(source == "memory" for _, source in covered):
        failures.append("no reading of the meter's memory in the run")
    names = {e["event"] for e in seen["event"]}
    for name in ("start", "begin", "model", "settings", "port_opened", "download_began", "download_ended",
                 "broker_lost", "broker_back", "exit", "end", "sample"):
        if name not in names:
            failures.append("no %s event in the run" % name)
    if not seen["meta"] or sorted(set(seen["status"])) != ["offline", "online"]:
        failures.append("meta or status missing: %d metas, statuses %s" % (len(seen["meta"]), sorted(set(seen["status"]))))

    for what, kind, like, path, value in WRONG:
        base = next((m for m in reversed(seen[kind]) if all(m.get(k) == v for k, v in like.items())), None)
        if base is None:
            failures.append("no %s to make \"%s\" from" % (kind, what))
        elif checks[kind].is_valid(altered(base, path, value)):
            failures.append("accepted: %s" % what)
    base = next((e for e in seen["event"] if e["event"] == "exit"), None)
    for name, fields, right in MADE if base else []:
        made = dict(base, event=name, **fields)
        if checks["event"].is_valid(made) != right:
            failures.append("%s %s: %s" % ("refused" if right else "accepted", name, json.dumps(fields)))

    for f in failures:
        print(f)
    print("%d readings, %d events (%s), %d metas, %d statuses; %d wrong messages tried"
          % (len(readings), len(seen["event"]), " ".join(sorted(names)), len(seen["meta"]), len(seen["status"]),
             len(WRONG) + len(MADE)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
