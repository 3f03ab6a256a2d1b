#!/usr/bin/env python3
"""Prints scripts/bench's table from the JSON results of the benchmark programs.

Usage: bench-table.py RESULTS_DIR. Each measurement is the median of its
repetitions; ratios and targets are computed from the medians of one run:
every real document at least 1 times tinyxml2's parse rate and their
geometric mean at least 1.6 times; the reader against the floor (the tree
built without reading) at least 0.75 in geometric mean over the real
documents and none below 0.6; wide and deep linear.
"""
import json
import math
import os
import statistics
import sys


def load(results, name):
    path = os.path.join(results, name + ".json")
    with open(path) as f:
        return json.load(f)["benchmarks"]


def medians(benchmarks):
    """run name -> the median aggregate (or the single run), or the error text."""
    found = {}
    for b in benchmarks:
        run = b.get("run_name", b["name"])
        if b.get("error_occurred"):
            found[run] = b.get("error_message", "error")
        elif b.get("run_type") == "aggregate" and b.get("aggregate_name") == "median":
            found[run] = b
        elif b.get("run_type") == "iteration" and run not in found:
            found[run] = b
    return found


def seconds(b):
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[b["time_unit"]]
    return b["real_time"] * scale


def size_text(n):
    for unit, factor in (("MB", 1e6), ("kB", 1e3)):
        if n >= factor:
            return "%.1f %s" % (n / factor, unit)
    return "%d B" % n


def verdict(ok):
    return "met" if ok else "NOT MET"


def xml_section(results, lines, verdicts):
    runs = medians(load(results, "xml_compare_bench"))
    libraries = ("vtsupport", "tinyxml2", "pugixml")
    docs = []
    for run in runs:
        measure, library, kind, doc = run.split("/", 3)
        if measure == "parse" and library == "vtsupport":
            docs.append((kind, doc))
    docs.sort(key=lambda d: (d[0] != "real", d[1]))

    def rate(measure, library, kind, doc):
        b = runs.get("%s/%s/%s/%s" % (measure, library, kind, doc))
        return b if isinstance(b, dict) else (b or "missing")

    lines.append("XML parse and free, MB/s (median of the runs). vtsupport reads an std::istream over the")
    lines.append("document's bytes in place; tinyxml2 and pugixml parse from a buffer they copy in.")
    lines.append("Tree only: no reader, the reader's tree for the document built node by node from one read")
    lines.append("beforehand and freed (MB/s of the document): the most any reader into this tree can reach.")
    lines.append("Tree peak: heap in use at the parse's highest (kB), counted per block with malloc's header.")
    header = "%-48s %9s %9s %9s %9s %7s %9s | %8s %8s %6s | %s" % (
        "document", "size", "vtsupport", "tinyxml2", "pugixml", "vt/tx2", "tree only",
        "peak vt", "peak tx2", "vt/tx2", "parse+write vt/tx2")
    lines.append(header)
    lines.append("-" * len(header))
    real_ratios = []
    floor_ratios = []
    generated_ratios = {}
    rejected = []
    memory_ratios = []
    for kind, doc in docs:
        cells = {lib: rate("parse", lib, kind, doc) for lib in libraries}
        ours = cells["vtsupport"]
        label = "%s/%s" % (kind, doc)
        size = next((c["document_bytes"] for c in cells.values() if isinstance(c, dict)), 0)
        if not isinstance(ours, dict):
            lines.append("%-48s %9s vtsupport %s" % (label, size_text(size), ours))
            if kind == "real":
                rejected.append(doc)
            continue

        def mbs(c):
            return "%9.1f" % (c["bytes_per_second"] / 1e6) if isinstance(c, dict) else "%9s" % "rejected"

        tiny = cells["tinyxml2"]
        ratio = memory = write_ratio = None
        if isinstance(tiny, dict):
            ratio = ours["bytes_per_second"] / tiny["bytes_per_second"]
            memory = ours["peak_bytes"] / tiny["peak_bytes"]
            memory_ratios.append((label, memory))
            w_ours, w_tiny = rate("parse+write", "vtsupport", kind, doc), rate("parse+write", "tinyxml2", kind, doc)
            if isinstance(w_ours, dict) and isinstance(w_tiny, dict):
                write_ratio = w_ours["bytes_per_second"] / w_tiny["bytes_per_second"]
            floor = rate("parse", "tree-only", kind, doc)
            if kind == "real" and isinstance(floor, dict):
                floor_ratios.append((doc, ours["bytes_per_second"] / floor["bytes_per_second"]))
            if kind == "real":
                real_ratios.append((doc, ratio))
            else:
                generated_ratios[doc] = ratio
        lines.append("%-48s %9s %s %s %s %7s %s | %8.0f %8s %6s | %s" % (
            label, size_text(size), mbs(ours), mbs(tiny), mbs(cells["pugixml"]),
            "%.2f" % ratio if ratio is not None else "-", mbs(rate("parse", "tree-only", kind, doc)),
            ours["peak_bytes"] / 1e3,
            "%.0f" % (tiny["peak_bytes"] / 1e3) if isinstance(tiny, dict) else "-",
            "%.2f" % memory if memory is not None else "-",
            "%.2f" % write_ratio if write_ratio is not None else "-"))
    lines.append("")
    if real_ratios:
        ratios = [r for _, r in real_ratios]
        geomean = math.exp(sum(math.log(r) for r in ratios) / len(ratios))
        lowest = min(real_ratios, key=lambda x: x[1])
        lines.append("vtsupport/tinyxml2 parse ratio over the real corpus: geometric mean %.2f, lowest %.2f (%s);"
                     " %d documents, %d rejected by the reader and left out: %s"
                     % (geomean, lowest[1], lowest[0], len(ratios), len(rejected), ", ".join(rejected) or "none"))
        verdicts.append("every real document >= 1 x tinyxml2 (lowest %.2f, %s): %s"
                        % (lowest[1], lowest[0], verdict(lowest[1] >= 1)))
        verdicts.append("real documents, geometric mean >= 1.6 x tinyxml2 (%.2f): %s" % (geomean, verdict(geomean >= 1.6)))
    if floor_ratios:
        ratios = [r for _, r in floor_ratios]
        geomean = math.exp(sum(math.log(r) for r in ratios) / len(ratios))
        lowest = min(floor_ratios, key=lambda x: x[1])
        lines.append("vtsupport/tree only over the real corpus: " +
                     ", ".join("%s %.2f" % (d, r) for d, r in floor_ratios))
        verdicts.append("real documents, reader/floor geometric mean >= 0.75 (%.2f): %s"
                        % (geomean, verdict(geomean >= 0.75)))
        verdicts.append("every real document reader/floor >= 0.6 (lowest %.2f, %s): %s"
                        % (lowest[1], lowest[0], verdict(lowest[1] >= 0.6)))
    else:
        verdicts.append("XML parse against tinyxml2: no real document accepted")
    for doc, target in (("text", 2.0), ("attributes", 1.0), ("wide", 1.0)):
        ratio = generated_ratios.get(doc)
        if ratio is None:
            verdicts.append("generated %s >= %.1f x tinyxml2: missing" % (doc, target))
        else:
            verdicts.append("generated %s >= %.1f x tinyxml2 (%.2f): %s" % (doc, target, ratio, verdict(ratio >= target)))
    worst = max(memory_ratios, key=lambda x: x[1]) if memory_ratios else None
    if worst:
        verdicts.append("tree peak <= 3 x tinyxml2 (highest %.2f, %s): %s" % (worst[1], worst[0], verdict(worst[1] <= 3)))


def fastest(benchmarks):
    """run name -> the repetition with the least CPU time."""
    found = {}
    for b in benchmarks:
        if b.get("run_type") == "iteration" and not b.get("error_occurred"):
            run = b["run_name"]
            if run not in found or b["cpu_time"] < found[run]["cpu_time"]:
                found[run] = b
    return found


def tokenizer_and_scaling(results, lines, verdicts):
    benchmarks = load(results, "xml_bench")
    runs = medians(benchmarks)
    best = fastest(benchmarks)
    lines.append("")
    lines.append("Tokenizer on a generated 3 MB catalogue (median):")
    for run, label in (("BM_TokenizeDefault", "default settings"),
                       ("BM_TokenizeReaderSettings", "the reader's settings")):
        b = runs.get(run)
        if isinstance(b, dict):
            lines.append("  %-24s %7.1f M tokens/s  %7.1f MB/s" % (label, b["tokens"] / 1e6, b["bytes_per_second"] / 1e6))
    lines.append("")
    lines.append("Scaling: parse-and-free CPU time in ms at 1x, 2x, 4x, 8x the size (fastest of the runs); base")
    lines.append("2,500 elements (8x: a 5 MB tree) and 25,000 (8x: a 54 MB tree, beyond the processor's caches).")
    lines.append("%-6s %7s %9s %9s %9s %9s %7s" % ("shape", "base", "1x", "2x", "4x", "8x", "8x/1x"))
    for shape, run in (("wide", "BM_ScaleWide"), ("deep", "BM_ScaleDeep")):
        for base in (2500, 25000):
            times = []
            for factor in (1, 2, 4, 8):
                b = best.get("%s/%d/%d" % (run, base, factor))
                times.append(b["cpu_time"] * {"ms": 1, "us": 1e-3, "ns": 1e-6}[b["time_unit"]]
                             if isinstance(b, dict) else None)
            if None in times:
                lines.append("%-6s %7d missing" % (shape, base))
                continue
            ratio = times[3] / times[0]
            lines.append("%-6s %7d %9.2f %9.2f %9.2f %9.2f %7.2f" % (shape, base, *times, ratio))
            verdicts.append("8x %s input within 9x the time, base %d (%.2f): %s"
                            % (shape, base, ratio, verdict(ratio <= 9)))


def spreads(benchmarks):
    """run name -> the coefficient of variation of its repetitions, where reported."""
    return {b.get("run_name", b["name"]): b["real_time"]
            for b in benchmarks
            if b.get("run_type") == "aggregate" and b.get("aggregate_name") == "cv"}


def framing(results, lines, verdicts):
    benchmarks = load(results, "net_bench")
    runs, cvs = medians(benchmarks), spreads(benchmarks)
    lines.append("")
    lines.append("Framed round trips on 127.0.0.1 per second (median), against a raw-socket baseline in the same")
    lines.append("run: the same frame (digit count, digits, payload) built once and sent with one send, the echo")
    lines.append("received with recv calls of 1024 bytes, header parsed, payload counted but not kept. cv: the")
    lines.append("spread of the repetitions (standard deviation over mean).")
    lines.append("%-8s %12s %6s %12s %6s %7s" % ("payload", "vtsupport", "cv", "raw", "cv", "ratio"))
    for size, label in ((100, "100 B"), (65536, "64 KiB"), (1048576, "1 MiB")):
        ours_name = "framedRoundTrip/%d/real_time" % size
        raw_name = "rawRoundTrip/%d/real_time" % size
        ours, raw = runs.get(ours_name), runs.get(raw_name)
        if not (isinstance(ours, dict) and isinstance(raw, dict)):
            lines.append("%-8s missing" % label)
            continue
        ratio = ours["items_per_second"] / raw["items_per_second"]
        lines.append("%-8s %12.0f %5.0f%% %12.0f %5.0f%% %7.2f" % (
            label, ours["items_per_second"], 100 * cvs.get(ours_name, 0), raw["items_per_second"],
            100 * cvs.get(raw_name, 0), ratio))
        if size <= 65536:
            verdicts.append("framing %s >= 0.95 x raw (%.2f): %s" % (label, ratio, verdict(ratio >= 0.95)))


def trace_and_cpu(results, lines):
    runs = medians(load(results, "trace_bench"))
    lines.append("")
    lines.append("Disabled trace insertion (one environment lookup per value or character), CPU ns:")
    for run, label in (("BM_DisabledChar", "a character"), ("BM_DisabledInt", "a number"),
                       ("BM_DisabledLine", "a 20-character text, a number, a newline")):
        b = runs.get(run)
        if isinstance(b, dict):
            lines.append("  %-44s %8.1f ns" % (label, b["cpu_time"] * {"ns": 1, "us": 1e3}[b["time_unit"]]))
    firsts = []
    for name in sorted(os.listdir(results)):
        if name.startswith("cpu_first_"):
            try:
                for b in load(results, name[:-5]):
                    if not b.get("error_occurred"):
                        firsts.append(seconds(b) * 1e6)
            except (ValueError, KeyError):
                pass
    if firsts:
        lines.append("First CpuFactory::instance() (detection included), median of %d processes: %.0f us"
                     " (range %.0f to %.0f)" % (len(firsts), statistics.median(firsts), min(firsts), max(firsts)))


def main():
    results = sys.argv[1]
    lines, verdicts = [], []
    xml_section(results, lines, verdicts)
    tokenizer_and_scaling(results, lines, verdicts)
    framing(results, lines, verdicts)
    trace_and_cpu(results, lines)
    lines.append("")
    lines.append("Targets:")
    lines.extend("  " + v for v in verdicts)
    print("\n".join(lines))


if __name__ == "__main__":
    main()
