"""Reads the results folder `./dev bench` writes: one file per program and round.

    decode-R.json, dispatch-R.json   Google Benchmark's JSON
    e2e-R.jsonl, dmx-e2e-R.jsonl,
    web-R.jsonl                      one JSON object per line
    footprint.jsonl, show.jsonl      first round only (each is already the median of 5 starts)

    results = Results("build/bench/results/current")
    results.ratios(lambda r: r.e2e("tarvex", "paced", "p50_us") / r.e2e("recvfrom", "paced", "p50_us"))
"""
import json
import pathlib
import re
import statistics


class Round:
    """One round's figures; a figure a program did not report is None."""

    def __init__(self, folder, number):
        self.number = number
        self.benchmarks = {}
        for program in ("decode", "dispatch"):
            path = folder / f"{program}-{number}.json"
            if path.exists():
                for b in json.loads(path.read_text())["benchmarks"]:
                    self.benchmarks[b["name"]] = b["cpu_time"]
        self.e2e_lines = read_lines(folder / f"e2e-{number}.jsonl")
        self.dmx_lines = read_lines(folder / f"dmx-e2e-{number}.jsonl")
        self.web_lines = read_lines(folder / f"web-{number}.jsonl")

    def bench(self, name):
        return self.benchmarks.get(name)

    def e2e_line(self, impl, mode):
        for line in self.e2e_lines:
            if line.get("impl") == impl and line.get("mode") == mode:
                return line
        return None

    def e2e(self, impl, mode, key):
        line = self.e2e_line(impl, mode)
        return line.get(key) if line else None

    def dmx(self, mode, key):
        return mode_figure(self.dmx_lines, mode, key)

    def web(self, mode, key):
        return mode_figure(self.web_lines, mode, key)


def mode_figure(lines, mode, key):
    for line in lines:
        if line.get("mode") == mode:
            return line.get(key)
    return None


def read_lines(path):
    if not path.exists():
        return []
    lines = []
    for text in path.read_text().splitlines():
        text = text.strip()
        if text.startswith("{"):
            lines.append(json.loads(text))
    return lines


class Results:
    def __init__(self, folder):
        self.folder = pathlib.Path(folder)
        numbers = sorted({int(m.group(1)) for p in self.folder.iterdir()
                          if (m := re.match(r".*-(\d+)\.jsonl?$", p.name))})
        self.rounds = [Round(self.folder, n) for n in numbers]
        self.footprint = first_line(self.folder / "footprint.jsonl")
        self.show = first_line(self.folder / "show.jsonl")

    def per_round(self, figure):
        """The figure of every round that has it (figure(round) may raise or give None)."""
        values = []
        for r in self.rounds:
            try:
                value = figure(r)
            except (TypeError, ZeroDivisionError):
                value = None
            if value is not None:
                values.append(value)
        return values

    def median(self, figure):
        values = self.per_round(figure)
        return statistics.median(values) if values else None

    def corpus(self):
        """The decode corpus items, in the order the decode benchmark ran them."""
        items = []
        for r in self.rounds:
            for name in r.benchmarks:
                m = re.match(r"decode/oscpack/(.+)$", name)
                if m and m.group(1) not in items:
                    items.append(m.group(1))
        return items


def first_line(path):
    lines = read_lines(path)
    return lines[0] if lines else {}


def ratio(a, b):
    return a / b if a is not None and b not in (None, 0) else None
