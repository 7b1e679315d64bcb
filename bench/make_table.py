#!/usr/bin/env python3
"""Turns the JSON output of the benchmark programs into the markdown table of scripts/bench.sh.

Usage: make_table.py OUT.md MACHINE_TEXT MEMORY_TEXT JSON...
Rows pair BM_<op>_Ours/<arg> with BM_<op>_NetSnmp/<arg>, BM_<op>_RawUdp/<arg> or
BM_<op>_Floor/<arg>; the figure is the median over the repetitions (CPU time, real time for
the exchange); the spread is (max - min) / median of ours.
"""
import json
import statistics
import sys

REFERENCES = ("NetSnmp", "RawUdp", "Floor")


def load(paths):
    runs = {}
    for path in paths:
        with open(path) as f:
            data = json.load(f)
        for b in data["benchmarks"]:
            if b.get("run_type") != "iteration":
                continue
            name = b["run_name"].replace("/real_time", "")
            field = "real_time" if "Exchange" in name else "cpu_time"
            runs.setdefault(name, []).append((b[field], b["time_unit"]))
    return runs


def fmt(value, unit):
    return f"{value:,.3g} {unit}"


def main():
    out, machine, memory, paths = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
    runs = load(paths)
    lines = [f"Machine: {machine}", "",
             "| operation | ours | reference | ours / reference | spread of ours |",
             "|---|---|---|---|---|"]
    for name, values in runs.items():
        op, _, rest = name.partition("_Ours")
        if not rest and not name.endswith("_Ours"):
            continue
        if "_Ours" not in name:
            continue
        ours = [v for v, _ in values]
        unit = values[0][1]
        med = statistics.median(ours)
        spread = (max(ours) - min(ours)) / med if med else 0
        for ref in REFERENCES:
            ref_values = runs.get(f"{op}_{ref}{rest}")
            if ref_values:
                ref_med = statistics.median(v for v, _ in ref_values)
                ref_name = {"NetSnmp": "net-snmp", "RawUdp": "raw UDP", "Floor": "floor"}[ref]
                lines.append(f"| {op[3:]}{rest} | {fmt(med, unit)} | {ref_name} {fmt(ref_med, unit)} "
                             f"| {med / ref_med:.2f} | {spread * 100:.0f}% |")
    lines += ["", memory, ""]
    with open(out, "w") as f:
        f.write("\n".join(lines))
    print("\n".join(lines))


if __name__ == "__main__":
    main()
