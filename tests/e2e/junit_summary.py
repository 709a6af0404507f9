"""Reads a JUnit report with an XML parser, checks what every reader of the
format relies on, and prints its fields one per line for the test to compare.

Usage: junit_summary.py REPORT [PREFIX]; PREFIX in paths is written as WORK.
"""
import re
import sys
import xml.etree.ElementTree as ET

report = sys.argv[1]
prefix = sys.argv[2] if len(sys.argv) > 2 else None
out = []


def text(value):
    return value.replace(prefix, "WORK") if prefix and value else value


def problem(message):
    out.append("BAD " + message)


def seconds(element):
    value = element.get("time", "")
    if not re.fullmatch(r"\d+\.\d{3}", value):
        problem(f"time {value!r} of {element.tag}")


root = ET.parse(report).getroot()
if root.tag != "testsuites":
    problem("root " + root.tag)
suites = list(root)
if len(suites) != 1 or suites[0].tag != "testsuite":
    problem("not one testsuite")
suite = suites[0]
for element in (root, suite):
    seconds(element)
if not re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d", suite.get("timestamp", "")):
    problem("timestamp " + suite.get("timestamp", ""))
cases = suite.findall("testcase")
counts = {"tests": len(cases)}
for kind, tag in (("failures", "failure"), ("errors", "error"), ("skipped", "skipped")):
    counts[kind] = sum(1 for case in cases if case.find(tag) is not None)
for kind, count in counts.items():
    for element in (root, suite):
        if element.get(kind) != str(count):
            problem(f"{element.tag} {kind}={element.get(kind)} for {count}")
out.append("suite {} tests={tests} failures={failures} errors={errors} skipped={skipped}".format(
    suite.get("name"), **counts))
for child in suite:
    if child.tag == "properties":
        for prop in child:
            out.append(f"property {prop.get('name')}={text(prop.get('value'))}")
    elif child.tag != "testcase":
        problem("suite child " + child.tag)
for case in cases:
    seconds(case)
    out.append(f"case {case.get('name')} | {case.get('classname')}")
    order = ["skipped", "error", "failure", "system-out", "properties"]
    last = -1
    for child in case:
        if child.tag not in order or order.index(child.tag) < last:
            problem(f"testcase child {child.tag} out of place")
            continue
        last = order.index(child.tag)
        if child.tag in ("skipped", "error", "failure"):
            out.append(f"  {child.tag} {child.get('type')}: {child.get('message')}"
                       + (f" | {child.text}" if child.text else ""))
        elif child.tag == "system-out":
            out.extend("  out: " + text(line) for line in child.text.splitlines())
        else:
            out.extend(f"  {p.get('name')}: {p.get('value')}" for p in child)
print("\n".join(out))
