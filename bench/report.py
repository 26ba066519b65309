#!/usr/bin/env python3
"""Turns the suite's Google Benchmark JSON output and the peak-memory lines into the table of
nanoseconds per element, the goals met or missed, docs/performance.md and a bar chart of the
ratios as SVG. Benchmarks are named `task/side`; a side's time is the median over repetitions of
its CPU time per element (from `items_per_second`)."""

import argparse
import html
import json
import math
import os
import platform
import statistics
import subprocess
import sys

TASKS = [
    ("ints_tree_to_vector", "1M integers, tree to vector"),
    ("ints_vector_to_tree", "1M integers, vector to tree"),
    ("ints_tree_to_array", "1M integers, tree to array"),
    ("ints_array_to_tree", "1M integers, array to tree"),
    ("ints_text_to_vector", "1M integers, text to vector"),
    ("hashtbl_tree_to_table", "100k bindings, tree to table"),
    ("hashtbl_table_to_tree", "100k bindings, table to tree"),
    ("map_tree_to_unordered_map", "100k bindings, object to std::unordered_map"),
    ("map_unordered_map_to_tree", "100k bindings, std::unordered_map to object"),
    ("canada_tree_to_points", "canada.json rings to std::array<double, 2> points"),
    ("records_tree_to_records", "100k records, tree to records"),
    ("records_text_to_records", "100k records, text to records"),
    ("records_records_to_tree", "100k records, records to tree"),
    ("records_arena_to_tree", "100k records to tree, in an arena scope"),
    ("records_build_only", "100k records to tree, drop untimed"),
    ("records_values_to_text", "100k records to JSON text"),
    ("events_text_to_values", "20k API events (internally tagged variants), text to values"),
    ("lines_records", "100k records as JSON Lines from a stream, one at a time"),
    ("array_items_records", "100k records as the items of an array from a stream"),
    ("lines_trees", "100k records as JSON Lines from a stream, trees"),
    ("array_items_trees", "100k records as the items of an array from a stream, trees"),
    ("document_read", "20 MB document, read"),
    ("document_read_only", "20 MB document, read, drop untimed"),
    ("document_read_positions", "20 MB document, read with positions"),
    ("document_write", "20 MB document, write"),
    ("failure", "1M list, last element wrong"),
]
REAL_DOCUMENTS = [("canada", "canada.json"), ("citm", "citm_catalog.json"),
                  ("twitter", "twitter.json")]
# Generated documents of large arrays of numbers (bench/number_documents.hpp), timed like the
# real ones.
NUMBER_DOCUMENTS = [("mesh", "mesh.json (generated)"), ("points", "point_cloud.json (generated)"),
                    ("series", "time_series.json (generated)"),
                    ("doubles", "10,000 random doubles (generated)")]
# The fresh-process task's files, by the suite's name of each document.
FRESH_FILES = {"canada": "canada.json", "citm": "citm_catalog.json", "twitter": "twitter.json",
               "mesh": "mesh.json", "points": "point_cloud.json", "series": "time_series.json",
               "doubles": "doubles.json"}
# A small document, timed like the real ones but judged by no goal: what a read costs besides
# its bytes.
SMALL_DOCUMENTS = [("status", "one status of twitter.json (2.5 KB)")]
TASKS += [(f"{d}_{t}", f"{name}, {what} (per byte)")
          for d, name in REAL_DOCUMENTS + NUMBER_DOCUMENTS + SMALL_DOCUMENTS
          for t, what in (("read", "read"), ("read_stream", "read from a std::istream"),
                          ("read_positions", "read with positions"), ("write", "write"),
                          ("text_to_values", "text to typed values"))]
TASKS += [(f"{d}_check_valid", f"{name}, `check<T>` of a valid document (per byte)")
          for d, name in REAL_DOCUMENTS]
DOCUMENTS = [("document", "the 20 MB document")] + REAL_DOCUMENTS + NUMBER_DOCUMENTS
SIDES = [
    ("sylvane", "Sylvane"),
    ("sylvane_tree", "Sylvane through a tree"),
    ("sylvane_read_as", "`read_as<T>`"),
    ("nlohmann", "nlohmann"),
    ("boost_json", "Boost.JSON"),
    ("rapidjson", "RapidJSON"),
    ("simdjson", "simdjson"),
    ("simdjson_ondemand", "simdjson on-demand"),
    ("sylvane_whole", "Sylvane, the whole text in memory"),
    ("sylvane_2_threads", "Sylvane, two threads"),
    ("sylvane_push", "Sylvane's push reader"),
    ("simdjson_many", "simdjson, many documents"),
    ("loop", "loop floor"),
    ("copy", "copy floor"),
    ("memcpy", "memcpy floor"),
]
SIDE_NAME = dict(SIDES)
TASK_NAME = dict(TASKS)
COLOURS = {"nlohmann": "#d95f02", "boost_json": "#7570b3", "rapidjson": "#e7298a",
           "simdjson": "#66a61e", "simdjson_ondemand": "#a6d854", "loop": "#777777", "copy": "#999999", "memcpy": "#bbbbbb"}
PEER_PACKAGES = ["nlohmann-json3-dev", "libboost-json1.81-dev", "rapidjson-dev",
                 "libsimdjson-dev", "libbenchmark-dev"]


def ns_per_element(b):
    """CPU nanoseconds per element of one run: from `items_per_second`, or from a counter that
    already holds nanoseconds per element (`ns_per_record`, ...)."""
    if b.get("items_per_second"):
        return 1e9 / b["items_per_second"]
    for key, value in b.items():
        if key.startswith("ns_per_") and isinstance(value, (int, float)):
            return float(value)
    return None


def medians(results):
    """{task: {side: (median ns per element, label)}} from the per-repetition entries, the median
    throughput and the median page faults per run."""
    samples, labels, rates, faults = {}, {}, {}, {}
    for b in results["benchmarks"]:
        if b.get("run_type") == "aggregate":
            continue
        ns = ns_per_element(b)
        name = b.get("run_name", b["name"]).removesuffix("/real_time")
        if ns is None or "/" not in name:
            continue
        task, side = name.split("/", 1)
        samples.setdefault((task, side), []).append(ns)
        if b.get("bytes_per_second"):
            rates.setdefault((task, side), []).append(b["bytes_per_second"])
        if "faults" in b:
            faults.setdefault((task, side), []).append(b["faults"])
        if b.get("label"):
            labels[(task, side)] = b["label"]
    table = {}
    for (task, side), xs in samples.items():
        table.setdefault(task, {})[side] = (statistics.median(xs), labels.get((task, side), ""),
                                            len(xs))
    throughput = {key: statistics.median(xs) for key, xs in rates.items()}
    return table, throughput, {key: statistics.median(xs) for key, xs in faults.items()}


def fresh_rows(table, faults, fresh):
    """(document, task, side, tuned ns/byte, tuned faults, fresh ns/byte, fresh faults) for each
    fresh-process measurement, beside the suite's tuned figure of the same document and side."""
    by_file = {(f["document"], f["task"], f["side"]): f for f in fresh}
    out = []
    for doc, name in REAL_DOCUMENTS + NUMBER_DOCUMENTS:
        for task in ("read", "write"):
            for side, _ in SIDES:
                f = by_file.get((FRESH_FILES[doc], task, side))
                if f is None:
                    continue
                tuned = table.get(f"{doc}_{task}", {}).get(side)
                out.append((doc, name, task, side, tuned[0] if tuned else None,
                            faults.get((f"{doc}_{task}", side)),
                            f["median_ns"] / f["bytes"], f["faults_per_run"]))
    return out


def fresh_table(rows):
    lines = ["| document | task | side | tuned suite (ns/byte) | fresh process (ns/byte) | "
             "fresh / tuned | page faults per run, tuned | page faults per run, fresh |",
             "|---|---|---|---:|---:|---:|---:|---:|"]
    for _, name, task, side, tuned, tuned_faults, ns, f in rows:
        lines.append(
            f"| {name} | {task} | {SIDE_NAME.get(side, side)} | "
            + (fmt_ns(tuned) if tuned else "—") + f" | {fmt_ns(ns)} | "
            + (f"{ns / tuned:.2f}×" if tuned else "—") + " | "
            + (f"{tuned_faults:.1f}" if tuned_faults is not None else "—") + f" | {f:.1f} |")
    return "\n".join(lines)


def fresh_goals(rows):
    """Reading in a fresh process within 1.1× the tuned suite and 1.5× simdjson's fresh read."""
    out = []
    fresh = {(doc, task, side): ns for doc, _, task, side, _, _, ns, _ in rows}
    for doc, name, task, side, tuned, _, ns, _ in rows:
        if task != "read" or side != "sylvane":
            continue
        if tuned:
            out.append((f"reading {name} in a fresh process within 1.1× the tuned suite",
                        f"{ns / tuned:.2f}× the tuned time", ns / tuned <= 1.1))
        simd = fresh.get((doc, "read", "simdjson"))
        if simd:
            out.append((f"reading {name} in a fresh process within 1.5× simdjson's",
                        f"Sylvane takes {ns / simd:.2f}× simdjson's time", ns / simd <= 1.5))
    return out


THREAD_TASKS = [("threads_read_convert", "each thread reads its own text and converts it"),
                ("threads_shared_convert", "each thread converts the same tree"),
                ("threads_floor", "arithmetic alone (what the machine gives two threads)")]


def thread_scaling(table):
    """(task, text, ms for one thread, ms for two, ratio) for each thread task measured."""
    out = []
    for task, text in THREAD_TASKS:
        row = table.get(task, {})
        if "1_threads" in row and "2_threads" in row:
            one, two = row["1_threads"][0], row["2_threads"][0]
            out.append((task, text, one, two, two / one))
    return out


def throughput_table(table, throughput):
    """Megabytes per second of every side on the documents, with each side's time over
    Sylvane's in brackets."""
    tasks = [t for t in task_rows(table)
             if any(t.startswith(d + "_") for d, _ in DOCUMENTS + SMALL_DOCUMENTS) and t in table]
    cols = [c for c in columns(table) if any((t, c) in throughput for t in tasks)]
    lines = ["| task | " + " | ".join(SIDE_NAME.get(c, c) for c in cols) + " |",
             "|---|" + "---:|" * len(cols)]
    for task in tasks:
        cells = []
        for c in cols:
            if (task, c) not in throughput:
                cells.append("—")
                continue
            mb = f"{throughput[(task, c)] / 1e6:.0f}"
            r = ratio(table, task, c)
            cells.append(f"**{mb}**" if c == "sylvane" else
                         mb + (f" ({r:.2f}×)" if r is not None else ""))
        name = TASK_NAME.get(task, task).replace(" (per byte)", "")
        lines.append(f"| {name} | " + " | ".join(cells) + " |")
    return "\n".join(lines)


def fmt_ns(ns):
    if ns >= 100:
        return f"{ns:.0f}"
    if ns >= 10:
        return f"{ns:.1f}"
    return f"{ns:.2f}"


def ratio(table, task, side, base="sylvane"):
    row = table.get(task, {})
    if side not in row or base not in row:
        return None
    return row[side][0] / row[base][0]


def columns(table):
    seen = {s for row in table.values() for s in row}
    cols = [s for s, _ in SIDES if s in seen]
    return cols + sorted(seen - set(cols))


def task_rows(table):
    known = [t for t, _ in TASKS if t in table]
    return known + sorted(set(table) - set(known))


def markdown_table(table):
    cols = columns(table)
    head = "| task | " + " | ".join(SIDE_NAME.get(c, c) for c in cols) + " |"
    rule = "|---|" + "---:|" * len(cols)
    lines = [head, rule]
    for task in task_rows(table):
        cells = []
        for c in cols:
            if c not in table[task]:
                cells.append("—")
                continue
            ns = fmt_ns(table[task][c][0])
            r = ratio(table, task, c)
            cells.append(f"**{ns}**" if c == "sylvane" else
                         ns + (f" ({r:.2f}×)" if r is not None else ""))
        lines.append(f"| {TASK_NAME.get(task, task)} | " + " | ".join(cells) + " |")
    return "\n".join(lines)


def text_table(table):
    cols = columns(table)
    width = max(len(TASK_NAME.get(t, t)) for t in table) if table else 10
    out = ["ns per element (per record for the 20 MB document, per byte for the real ones), "
           "median; "
           "in brackets: that side's time / Sylvane's"]
    out.append(f"{'task':<{width}}" + "".join(f"{SIDE_NAME.get(c, c):>20}" for c in cols))
    for task in task_rows(table):
        line = f"{TASK_NAME.get(task, task):<{width}}"
        for c in cols:
            if c not in table[task]:
                line += f"{'-':>20}"
                continue
            r = ratio(table, task, c)
            cell = fmt_ns(table[task][c][0]) + ("" if c == "sylvane" or r is None
                                                 else f" ({r:.2f}x)")
            line += f"{cell:>20}"
        out.append(line)
    return "\n".join(out)


def goals(table, memory, threads):
    """(goal, measured, met) for every goal the suite can judge; unmeasured goals are skipped.
    `threads` is `thread_scaling` of the table before its thread rows were set apart."""
    out = []

    def vs(task, side):
        return ratio(table, task, side)

    def within(task, floor_task, floor_side, limit, text):
        row, frow = table.get(task, {}), table.get(floor_task, {})
        if "sylvane" in row and floor_side in frow:
            m = row["sylvane"][0] / frow[floor_side][0]
            out.append((text, f"{m:.2f}× the {SIDE_NAME[floor_side]}", m <= limit))

    def faster(task, side, factor, text):
        r = vs(task, side)
        if r is not None:
            out.append((text, f"{SIDE_NAME[side]} takes {r:.2f}× Sylvane's time", r >= factor))

    def within_peer(task, side, limit, text):
        r = vs(task, side)
        if r is not None:
            out.append((text, f"Sylvane takes {1 / r:.2f}× {SIDE_NAME[side]}'s time",
                        1 / r <= limit))

    def across(task, peer_task, side):
        """A peer's time in `peer_task` over Sylvane's in `task`."""
        s, p = table.get(task, {}).get("sylvane"), table.get(peer_task, {}).get(side)
        return p[0] / s[0] if s and p else None

    within("ints_tree_to_vector", "ints_tree_to_vector", "loop", 1.5,
           "`list_of_yojson(int_of_yojson)` within 1.5× the loop floor")
    within("ints_vector_to_tree", "ints_tree_to_vector", "loop", 3.0,
           "`yojson_of_list(yojson_of_int)` within 3× the loop floor")
    for doc, doc_name in DOCUMENTS:
        for side in ("rapidjson", "boost_json", "nlohmann"):
            faster(f"{doc}_read", side, 1.0, f"reading {doc_name} faster than {SIDE_NAME[side]}")
        within_peer(f"{doc}_read", "simdjson", 1.5, f"reading {doc_name} within 1.5× simdjson")
        for side in ("nlohmann", "boost_json", "rapidjson", "simdjson"):
            faster(f"{doc}_write", side, 1.0, f"writing {doc_name} faster than {SIDE_NAME[side]}")
        s, p = table.get(f"{doc}_read_positions", {}), table.get(f"{doc}_read", {})
        if "sylvane" in s and "sylvane" in p:
            m = s["sylvane"][0] / p["sylvane"][0]
            out.append((f"reading {doc_name} with positions within 1.5× reading it",
                        f"{m:.2f}× the plain read", m <= 1.5))
    # The margin by which the fastest writer outside the suite beats its peers on numbers.
    for doc, doc_name in (("canada", "canada.json"), ("doubles", "10,000 random doubles")):
        for side in ("nlohmann", "boost_json", "rapidjson", "simdjson"):
            faster(f"{doc}_write", side, 1.3,
                   f"writing {doc_name} at least 1.3× faster than {SIDE_NAME[side]}")
    floor = next((r for task, _, _, _, r in threads if task == "threads_floor"), None)
    for task, text, _, _, r in threads:
        if task != "threads_floor":
            out.append((f"two threads take at most 1.1× one thread's time: {text}",
                        f"{r:.2f}×" + (f" (arithmetic alone: {floor:.2f}×)" if floor else ""),
                        r <= 1.1))
    mem = {m["side"]: m for m in memory}
    for peer in ("boost_json", "simdjson"):
        if "sylvane" in mem and peer in mem:
            s, b = growth(mem["sylvane"]), growth(mem[peer])
            out.append((f"peak memory reading the document no more than {SIDE_NAME[peer]}'s",
                        f"{s / 1024:.1f} MiB against {b / 1024:.1f} MiB", s <= b))
    for side in ("nlohmann", "boost_json", "rapidjson", "simdjson"):
        faster("records_tree_to_records", side, 1.0,
               f"tree to records faster than {SIDE_NAME[side]}")
    within_peer("ints_text_to_vector", "simdjson_ondemand", 1.0,
                "text of integers to vector at least as fast as simdjson on-demand")
    within_peer("records_text_to_records", "simdjson_ondemand", 1.0,
                "text to records at least as fast as simdjson on-demand")
    # `read_as` against `of_yojson(read(text))`, the way it replaces, on every kind of document.
    for task, what in (("ints_text_to_vector", "1M integers"),
                       ("records_text_to_records", "100k records"),
                       ("canada_text_to_values", "canada.json"),
                       ("citm_text_to_values", "citm_catalog.json"),
                       ("twitter_text_to_values", "twitter.json"),
                       ("events_text_to_values", "20k API events (tagged variants)")):
        faster(task, "sylvane_tree", 1.2,
               f"`read_as` at least 1.2× faster than `read` and conversion: {what}")
    # Checking a document that is valid costs what reading it costs.
    for doc, doc_name in REAL_DOCUMENTS:
        within_peer(f"{doc}_check_valid", "sylvane_read_as", 1.1,
                    f"`check<T>` on a valid document within 1.1× `read_as<T>`: {doc_name}")
    # The readers of streams against reading the whole text in memory, and simdjson's readers
    # of many documents (single thread).
    for task, what in (("lines_records", "JSON Lines"), ("array_items_records", "array items")):
        within_peer(task, "sylvane_whole", 1.15,
                    f"{what} of 100k records from a stream within 1.15× `read_as` of the whole text")
    within_peer("lines_records", "simdjson_many", 1.5,
                "JSON Lines of records within 1.5× simdjson `iterate_many`")
    within_peer("lines_trees", "simdjson_many", 1.5,
                "JSON Lines as trees within 1.5× simdjson `parse_many`")
    r = ratio(table, "lines_records", "sylvane", "sylvane_2_threads")
    if r is not None:
        out.append(("typed JSON Lines with two threads at least 1.7× as fast as with one",
                    f"{r:.2f}× as fast", r >= 1.7))
    for side in ("rapidjson", "boost_json"):
        faster("records_text_to_records", side, 1.0,
               f"text to records faster than {SIDE_NAME[side]}")
    for side in ("boost_json", "nlohmann"):
        faster("records_records_to_tree", side, 3.0,
               f"records to tree at least 3× faster than {SIDE_NAME[side]}")
    within_peer("records_records_to_tree", "rapidjson", 1.5,
                "records to tree within 1.5× RapidJSON")
    for side in ("boost_json", "nlohmann"):
        r = across("records_arena_to_tree", "records_records_to_tree", side)
        if r is not None:
            out.append((f"records to tree in an arena scope at least 3× faster than {SIDE_NAME[side]}",
                        f"{SIDE_NAME[side]} takes {r:.2f}× Sylvane's time", r >= 3.0))
    faster("records_values_to_text", "rapidjson", 1.0,
           "values to text (`write(v)`) faster than RapidJSON's writer by hand")
    r = across("records_arena_to_tree", "records_records_to_tree", "rapidjson")
    if r is not None:
        out.append(("records to tree in an arena scope within 1.5× RapidJSON (its pool)",
                    f"Sylvane takes {1 / r:.2f}× RapidJSON's time", 1 / r <= 1.5))
    return out


def growth(m):
    return m["peak_after_kib"] - m["peak_before_kib"]


def svg_chart(table):
    """Horizontal bars, one group per task: each other side's time over Sylvane's on a log
    scale, with Sylvane at 1. Bars right of the line are sides slower than Sylvane."""
    sides = [c for c in columns(table) if c != "sylvane"]
    groups = []
    for task in task_rows(table):
        bars = [(s, ratio(table, task, s)) for s in sides if ratio(table, task, s) is not None]
        if bars:
            groups.append((task, bars))
    values = [r for _, bars in groups for _, r in bars] or [1.0]
    lo = 2 ** math.floor(math.log2(min(min(values), 1.0) * 0.9))
    hi = 2 ** math.ceil(math.log2(max(max(values), 1.0) * 1.1))
    left, right, top, bar, gap = 250, 40, 50, 13, 14
    width = 960
    plot = width - left - right
    height = top + sum(len(b) * bar + gap for _, b in groups) + 60

    def x(v):
        return left + plot * (math.log2(v) - math.log2(lo)) / (math.log2(hi) - math.log2(lo))

    e = html.escape
    s = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
         f'font-family="sans-serif" font-size="12">',
         f'<rect width="{width}" height="{height}" fill="white"/>',
         f'<text x="10" y="20" font-size="15" font-weight="bold">Time of each side divided by '
         f'Sylvane\'s (log scale; right of 1 = slower than Sylvane)</text>']
    tick = lo
    while tick <= hi * 1.0001:
        s.append(f'<line x1="{x(tick):.1f}" y1="{top - 8}" x2="{x(tick):.1f}" '
                 f'y2="{height - 45}" stroke="#e5e5e5"/>')
        label = f"{tick:g}" if tick >= 1 else f"1/{1 / tick:g}"
        s.append(f'<text x="{x(tick):.1f}" y="{height - 30}" text-anchor="middle">{label}</text>')
        tick *= 2
    y = top
    for task, bars in groups:
        s.append(f'<text x="{left - 8}" y="{y + len(bars) * bar / 2 + 4:.1f}" '
                 f'text-anchor="end" font-weight="bold">{e(TASK_NAME.get(task, task))}</text>')
        for side, r in bars:
            x0, x1 = sorted((x(1.0), x(r)))
            s.append(f'<rect x="{x0:.1f}" y="{y}" width="{max(x1 - x0, 1):.1f}" '
                     f'height="{bar - 2}" fill="{COLOURS.get(side, "#1b9e77")}"/>')
            tx, anchor = (x1 + 4, "start") if r >= 1 else (x0 - 4, "end")
            s.append(f'<text x="{tx:.1f}" y="{y + bar - 3}" text-anchor="{anchor}" '
                     f'font-size="10">{e(SIDE_NAME.get(side, side))} {r:.2f}</text>')
            y += bar
        y += gap
    s.append(f'<line x1="{x(1.0):.1f}" y1="{top - 8}" x2="{x(1.0):.1f}" y2="{height - 45}" '
             f'stroke="black" stroke-width="1.5"/>')
    s.append(f'<text x="{x(1.0):.1f}" y="{top - 12}" text-anchor="middle">Sylvane = 1</text>')
    lx = 20
    for side in [c for c in sides if any(c == b for _, bars in groups for b, _ in bars)]:
        s.append(f'<rect x="{lx}" y="{height - 18}" width="10" height="10" '
                 f'fill="{COLOURS.get(side, "#1b9e77")}"/>')
        s.append(f'<text x="{lx + 14}" y="{height - 9}">{e(SIDE_NAME.get(side, side))}</text>')
        lx += 110
    s.append("</svg>")
    return "\n".join(s) + "\n"


def compile_costs(rows):
    """{compiler: {unit: row}} of the compile-time lines."""
    out = {}
    for r in rows:
        out.setdefault(r["compiler"], {})[r["unit"]] = r
    return out


def per_record(units, prefix=""):
    """(seconds, MiB) a record adds beyond the include, or None."""
    rec, inc = units.get(prefix + "records"), units.get(prefix + "include")
    if not rec or not inc:
        return None
    n = rec["records"]
    return (rec["user_s"] - inc["user_s"]) / n, (rec["peak_kib"] - inc["peak_kib"]) / 1024 / n


def compile_table(costs):
    lines = ["| compiler | unit | user time (s) | peak memory (MiB) |", "|---|---|---:|---:|"]
    for cxx, units in costs.items():
        for name, r in units.items():
            lines.append(f"| {cxx} | {name} | {r['user_s']:.2f} | {r['peak_kib'] / 1024:.0f} |")
    lines += ["", "| compiler | per record beyond the include | Sylvane | nlohmann | "
              "the record alone |", "|---|---|---:|---:|---:|"]
    for cxx, units in costs.items():
        ours = per_record(units)
        if not ours:
            continue
        theirs, plain = per_record(units, "nlohmann_"), per_record(units, "plain_")
        lines.append(f"| {cxx} | user time | {ours[0] * 1000:.0f} ms | "
                     + "".join(f"{x[0] * 1000:.0f} ms |" if x else "- |" for x in (theirs, plain)))
        lines.append(f"| {cxx} | compiler memory | {ours[1]:.1f} MiB | "
                     + "".join(f"{x[1]:.1f} MiB |" if x else "- |" for x in (theirs, plain)))
    return "\n".join(lines)


def compile_goals(costs):
    judged = []
    for cxx, units in costs.items():
        ours, theirs = per_record(units), per_record(units, "nlohmann_")
        if ours:
            judged.append((f"{cxx}: a derived 10-field record compiles in at most 40 ms beyond "
                           "the include", f"{ours[0] * 1000:.0f} ms", ours[0] <= 0.040))
            judged.append((f"{cxx}: a derived 10-field record takes at most 4 MB of compiler "
                           "memory beyond the include", f"{ours[1] * 1.048576:.1f} MB",
                           ours[1] * 1.048576 <= 4))
        if ours and theirs:
            judged.append((f"{cxx}: a derived record compiles in at most a third of nlohmann's "
                           "time", f"{ours[0] / theirs[0]:.2f}x nlohmann's",
                           ours[0] <= theirs[0] / 3))
        inc, std = units.get("include"), units.get("std_headers")
        if inc and std:
            extra = inc["user_s"] - std["user_s"]
            judged.append((f"{cxx}: including <sylvane/sylvane.hpp> costs at most 0.5 s beyond "
                           "the standard headers it needs", f"{extra:.2f} s", extra <= 0.5))
    return judged


def cmake_cache(build_dir):
    values = {}
    try:
        with open(os.path.join(build_dir, "CMakeCache.txt")) as f:
            for line in f:
                if "=" in line and ":" in line.split("=", 1)[0]:
                    key, value = line.rstrip("\n").split("=", 1)
                    values[key.split(":", 1)[0]] = value
    except OSError:
        pass
    return values


def first_line(cmd):
    try:
        return subprocess.run(cmd, capture_output=True, text=True).stdout.splitlines()[0]
    except (OSError, IndexError):
        return "unknown"


def machine(results, build_dir):
    ctx = results.get("context", {})
    cpu = "unknown"
    try:
        with open("/proc/cpuinfo") as f:
            cpu = next(l.split(":", 1)[1].strip() for l in f if l.startswith("model name"))
    except (OSError, StopIteration):
        pass
    cache = cmake_cache(build_dir)
    cxx = cache.get("CMAKE_CXX_COMPILER", "c++")
    build_type = cache.get("CMAKE_BUILD_TYPE", "")
    flags = " ".join(f for f in (cache.get("CMAKE_CXX_FLAGS", ""),
                                 cache.get(f"CMAKE_CXX_FLAGS_{build_type.upper()}", "")) if f)
    versions = []
    for p in PEER_PACKAGES:
        v = first_line(["dpkg-query", "-W", "-f=${Version}\n", p])
        if v != "unknown":
            versions.append(f"{p} {v}")
    caches = ", ".join(f"L{c['level']} {c['type'].lower()} {c['size'] // 1024} KiB"
                       for c in ctx.get("caches", []))
    return [
        f"CPU: {cpu}, {ctx.get('num_cpus', '?')} logical cores at {ctx.get('mhz_per_cpu', '?')} MHz"
        + (f"; caches: {caches}" if caches else ""),
        f"System: {platform.system()} {platform.release()}, load average at start "
        + ", ".join(f"{x:.2f}" for x in ctx.get("load_avg", [])),
        f"Compiler: {first_line([cxx, '--version'])}, build type {build_type}, flags `{flags}`",
        "Packages: " + ", ".join(versions),
        f"Run started {ctx.get('date', '?')}",
    ]


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("--results", required=True, help="Google Benchmark JSON output")
    ap.add_argument("--memory", help="peak-memory JSON lines, one per side")
    ap.add_argument("--build-dir", default="build-bench")
    ap.add_argument("--markdown", help="where to write the report (docs/performance.md)")
    ap.add_argument("--svg", help="where to write the chart (docs/performance.svg)")
    ap.add_argument("--notes", help="hand-written text appended to the report")
    ap.add_argument("--stream-memory", help="peak memory of the readers of streams, JSON lines")
    ap.add_argument("--fresh", help="fresh-process JSON lines, one per document, task and side")
    ap.add_argument("--compile-time", help="compile-time JSON lines (bench/compile_time.py)")
    a = ap.parse_args()

    with open(a.results) as f:
        results = json.load(f)
    table, throughput, faults = medians(results)
    threads = thread_scaling(table)
    table = {t: row for t, row in table.items() if not t.startswith("threads_")}
    memory = []
    if a.memory and os.path.exists(a.memory):
        with open(a.memory) as f:
            memory = [json.loads(l) for l in f if l.strip()]
    fresh = []
    if a.fresh and os.path.exists(a.fresh):
        with open(a.fresh) as f:
            fresh = [json.loads(l) for l in f if l.strip()]
    rows = fresh_rows(table, faults, fresh)
    judged = goals(table, memory, threads) + fresh_goals(rows)
    if a.stream_memory and os.path.exists(a.stream_memory):
        with open(a.stream_memory) as f:
            for m in (json.loads(l) for l in f if l.strip()):
                shape = "JSON Lines" if m["task"] == "lines" else "a top-level array"
                mib = m["peak_kib"] / 1024
                judged.append((f"peak memory reading {m['file_bytes'] / 1e9:.1f} GB of {shape}, "
                               "typed, under 64 MiB",
                               f"{mib:.1f} MiB ({m['items']} records)", mib < 64))
    costs = {}
    if a.compile_time and os.path.exists(a.compile_time):
        with open(a.compile_time) as f:
            costs = compile_costs(json.loads(l) for l in f if l.strip())
    judged += compile_goals(costs)
    reps = max((n for row in table.values() for _, _, n in row.values()), default=0)

    print(text_table(table))
    for _, text, one, two, r in threads:
        print(f"threads: {text}: one {fmt_ns(one)} ns, two {fmt_ns(two)} ns per record, {r:.2f}x")
    for text, measured, met in judged:
        print(f"{'met   ' if met else 'MISSED'} {text}: {measured}")
    for m in memory:
        print(f"peak memory {m['side']}: +{growth(m) / 1024:.1f} MiB over the text")

    if a.svg:
        with open(a.svg, "w") as f:
            f.write(svg_chart(table))
    if not a.markdown:
        return
    md = ["# Performance", "",
          "Generated by `bench/run` from one run of the benchmark suite: every side of every task "
          "in one process, repetitions interleaved in random order. Times are CPU nanoseconds per "
          "element (per record for the 20 MB document), the median of "
          f"{reps} repetitions; in brackets each side's time divided by "
          "Sylvane's, so above 1 means Sylvane is faster. A dash: the side has no such task. "
          "The real documents (canada.json, citm_catalog.json, twitter.json, and one status of "
          "twitter.json alone, a small document) are timed per byte.", "",
          markdown_table(table), "",
          "## Documents in megabytes per second", "",
          "The median throughput of each side (10⁶ bytes of JSON text per second; for writing, of "
          "the text read); in brackets, as above, that side's time over Sylvane's.", "",
          throughput_table(table, throughput), "",
          f"![Ratios to Sylvane]({os.path.basename(a.svg) if a.svg else 'performance.svg'})", "",
          "## Machine", ""]
    md += [f"- {line}" for line in machine(results, a.build_dir)]
    if threads:
        md += ["", "## Thread scaling", "",
               "Wall-clock time for the same work per thread on one thread and on two at once "
               "(per record, 20,000 records a thread); without shared state two threads take as "
               "long as one. The floor shows what the machine itself gave two threads during the "
               "run.", "", "| task | one thread (ns) | two threads (ns) | ratio |",
               "|---|---:|---:|---:|"]
        md += [f"| {text} | {fmt_ns(one)} | {fmt_ns(two)} | {r:.2f}× |"
               for _, text, one, two, r in threads]
    if rows:
        md += ["", "## Documents read as a user's program reads them", "",
               "Two figures for each document and side. *Tuned suite*: the tables above, from "
               "long loops in one process whose allocator thresholds are fixed at start "
               "(`bench/allocator_settings.cpp`), after an untimed warm-up. *Fresh process*: "
               "`bench/fresh_process.cpp`, one process per document, task and side, with glibc's "
               "defaults and no warm-up, the median of 30 reads (or writes) in a row, as a "
               "program that reads one document after another runs. Page faults are counted per "
               "read or write (minor and major faults, `getrusage`); in the fresh process they "
               "include the first run's.", "", fresh_table(rows)]
    if costs:
        md += ["", "## What derived converters cost the compiler", "",
               "`bench/compile_time.py`: each translation unit compiled at -O2 in a process of "
               "its own, the median of its runs; user time and the compiler's peak resident "
               "set. *records*: 50 derived records of 10 fields each (integers, strings, a "
               "double, vectors, an optional, a bool; options on half of them), each read with "
               "`read_as` and written with `write`; *twitter*: the tests' model of twitter.json, "
               "read and written the same way; *std_headers*: the standard headers Sylvane's "
               "headers include; the nlohmann units: the same records with its macros, parsed "
               "and dumped; *the record alone*: the same records made, given a string, moved and "
               "destroyed, with no JSON library, the least that any code using them costs.", "",
               compile_table(costs)]
    md += ["", "## Goals", "", "| goal | measured | |", "|---|---|---|"]
    md += [f"| {t} | {m} | {'met' if ok else '**missed**'} |" for t, m, ok in judged]
    if memory:
        md += ["", "## Peak memory reading the 20 MB document", "",
               "Each side in a process of its own (`bench/peak_memory.cpp`): the peak resident "
               "set after reading, and its growth over the peak before (the program and the "
               "text itself).", "",
               "| side | peak resident set | growth over the text |", "|---|---:|---:|"]
        md += [f"| {SIDE_NAME.get(m['side'], m['side'])} | {m['peak_after_kib'] / 1024:.1f} MiB "
               f"| {growth(m) / 1024:.1f} MiB |" for m in memory]
    messages = [(side, label) for side, (_, label, _) in table.get("failure", {}).items() if label]
    if messages:
        md += ["", "## Failure messages", "",
               "What each side reports for the list whose last element is a string:", ""]
        md += [f"- {SIDE_NAME.get(s, s)}: `{label}`" for s, label in
               sorted(messages, key=lambda m: [x for x, _ in SIDES].index(m[0])
                      if m[0] in SIDE_NAME else 99)]
    if a.notes and os.path.exists(a.notes):
        with open(a.notes) as f:
            md += ["", f.read().rstrip()]
    with open(a.markdown, "w") as f:
        f.write("\n".join(md) + "\n")


if __name__ == "__main__":
    sys.exit(main())
