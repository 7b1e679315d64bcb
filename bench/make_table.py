#!/usr/bin/env python3
"""Turns the JSON output of the benchmark programs into the markdown table of scripts/bench.sh.

Usage: make_table.py OUT.md MACHINE_TEXT MEMORY_TEXT JSON...
Rows pair BM_<op>_Ours/<arg> with BM_<op>_NetSnmp/<arg>, BM_<op>_RawUdp/<arg> or
BM_<op>_Floor/<arg>, BM_<op>_V2c/<arg> or BM_<op>_Bare/<arg>; the figure is the median over the repetitions (CPU time, real time for
the exchange, beside the client's CPU time); the spread is (max - min) / median of ours.
A "PerAgent" benchmark's CPU time is divided by its "agents" counter.
"""
import json
import statistics
import sys

REFERENCES = ("NetSnmp", "RawUdp", "Floor", "V2c", "Bare")


def load(paths):
    runs = {}
    for path in paths:
        with open(path) as f:
            data = json.load(f)
        for b in data["benchmarks"]:
            if b.get("run_type") != "iteration":
                continue
            name = b["run_name"].replace("/real_time", "")
            if "Exchange" in name:
                # Wall time of the round trip, and the CPU time of the client alone.
                runs.setdefault(name + " (wall)", []).append((b["real_time"], b["time_unit"]))
                runs.setdefault(name + " (client CPU)", []).append((b["cpu_time"], b["time_unit"]))
            elif "PerAgent" in name:
                runs.setdefault(name, []).append((b["cpu_time"] / b["agents"], b["time_unit"]))
            else:
                runs.setdefault(name, []).append((b["cpu_time"], b["time_unit"]))
    return runs


SCALE = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


def fmt(value, unit):
    seconds = value * SCALE[unit]
    for name, factor in (("s", 1.0), ("ms", 1e-3), ("µs", 1e-6), ("ns", 1e-9)):
        if seconds >= factor or name == "ns":
            return f"{seconds / factor:.3g} {name}"


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
                ref_name = {"NetSnmp": "net-snmp", "RawUdp": "raw UDP", "Floor": "floor",
                            "V2c": "v2c", "Bare": "bare lines"}[ref]
                lines.append(f"| {op[3:]}{rest} | {fmt(med, unit)} | {ref_name} {fmt(ref_med, unit)} "
                             f"| {med / ref_med:.2f} | {spread * 100:.0f}% |")
    lines += ["", memory, ""]
    with open(out, "w") as f:
        f.write("\n".join(lines))
    print("\n".join(lines))


if __name__ == "__main__":
    main()
