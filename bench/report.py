#!/usr/bin/python3
"""Prints the benchmarks' figures as ratios against their baselines of the same round: the
median over the rounds, and the lowest and highest round. With --against, the figures of another
build measured in the same invocation (rounds alternating) stand beside them as "before".

    /usr/bin/python3 bench/report.py build/bench/results/current [--against build/bench/results/against]
                                     [--markdown]
"""
import argparse
import sys

from results import Results, ratio


def decode_rows(results):
    rows = []
    for item in results.corpus():
        rows.append((f"decode {item}, tarvex / oscpack", "<= 1.5",
                     lambda r, i=item: ratio(r.bench(f"decode/tarvex/{i}"),
                                             r.bench(f"decode/oscpack/{i}"))))
    for item in results.corpus():
        rows.append((f"decode {item}, tarvex / liblo", "< 1",
                     lambda r, i=item: ratio(r.bench(f"decode/tarvex/{i}"),
                                             r.bench(f"decode/liblo/{i}"))))
    for item in results.corpus():
        rows.append((f"decode {item} with every value, tarvex / oscpack", "",
                     lambda r, i=item: ratio(r.bench(f"decode/tarvex-values/{i}"),
                                             r.bench(f"decode/oscpack/{i}"))))
    return rows


def e2e_ratio(impl, base, mode, key):
    return lambda r: ratio(r.e2e(impl, mode, key), r.e2e(base, mode, key))


ROWS = [
    ("dispatch, 100 rows / liblo with 12 methods", "<= 0.5",
     lambda r: ratio(r.bench("dispatch/rows:100"), r.bench("dispatch/liblo/methods:12"))),
    ("dispatch, 10 000 rows / 100 rows", "<= 1.1",
     lambda r: ratio(r.bench("dispatch/rows:10000"), r.bench("dispatch/rows:100"))),
    # A receiver whose host calls run in Qt's thread cannot beat Qt's own loop, so the targets
    # are set against Qt's loop with only a socket notifier; recvfrom and the poll loop stay as
    # context.
    ("backlog drain rate, tarvex / Qt's loop", ">= 0.8",
     e2e_ratio("tarvex", "qt", "backlog", "handled_per_s")),
    ("backlog drain rate, tarvex / liblo", ">= 1.5",
     e2e_ratio("tarvex", "liblo", "backlog", "handled_per_s")),
    ("paced 1000/s, latency p50, tarvex / Qt's loop", "<= 1.1",
     e2e_ratio("tarvex", "qt", "paced", "p50_us")),
    ("paced, CPU per datagram, tarvex / Qt's loop", "<= 1.15",
     e2e_ratio("tarvex", "qt", "paced", "cpu_us")),
    ("ping-pong, latency p99, tarvex / Qt's loop", "<= 1.1",
     e2e_ratio("tarvex", "qt", "pingpong", "p99_us")),
    ("backlog drain rate, tarvex / recvfrom", "",
     e2e_ratio("tarvex", "recvfrom", "backlog", "handled_per_s")),
    ("paced 1000/s, latency p50, tarvex / recvfrom", "",
     e2e_ratio("tarvex", "recvfrom", "paced", "p50_us")),
    ("paced, CPU per datagram, tarvex / recvfrom", "",
     e2e_ratio("tarvex", "recvfrom", "paced", "cpu_us")),
    ("ping-pong, latency p99, tarvex / recvfrom", "",
     e2e_ratio("tarvex", "recvfrom", "pingpong", "p99_us")),
    ("paced, latency p50, poll loop / recvfrom (the event loop's floor)", "",
     e2e_ratio("poll", "recvfrom", "paced", "p50_us")),
    ("paced, CPU per datagram, poll loop / recvfrom (the floor)", "",
     e2e_ratio("poll", "recvfrom", "paced", "cpu_us")),
    ("paced, latency p50, Qt's loop / recvfrom (Qt's floor)", "",
     e2e_ratio("qt", "recvfrom", "paced", "p50_us")),
    ("paced, CPU per datagram, Qt's loop / recvfrom (Qt's floor)", "",
     e2e_ratio("qt", "recvfrom", "paced", "cpu_us")),
    ("backlog drain rate, feedback on to three controllers / feedback off", ">= 0.9",
     e2e_ratio("tarvex-feedback", "tarvex", "backlog", "handled_per_s")),
    ("backlog drain rate, Qt's loop fed by a receive thread / recvfrom", "",
     e2e_ratio("qt-thread", "recvfrom", "backlog", "handled_per_s")),
    ("paced, latency p50, Qt's loop fed by a receive thread / recvfrom", "",
     e2e_ratio("qt-thread", "recvfrom", "paced", "p50_us")),
    ("paced, CPU per datagram, Qt's loop fed by a receive thread / recvfrom", "",
     e2e_ratio("qt-thread", "recvfrom", "paced", "cpu_us")),
    ("ping-pong, latency p99, Qt's loop fed by a receive thread / recvfrom", "",
     e2e_ratio("qt-thread", "recvfrom", "pingpong", "p99_us")),
    ("paced, heap allocations per datagram, tarvex", "0",
     lambda r: r.e2e("tarvex", "paced", "allocs")),
    ("backlog, heap allocations per datagram, tarvex", "0",
     lambda r: r.e2e("tarvex", "backlog", "allocs")),
    ("OSC to DMX frame, continuous stream (every 5 ms), output adds p50 ms", "<= 13",
     lambda r: r.dmx("stream-5ms", "output_adds_p50_ms")),
    ("OSC to DMX frame, bursts of 25, output adds p50 ms", "",
     lambda r: r.dmx("back-to-back", "output_adds_p50_ms")),
    ("OSC to DMX frame, spaced 30 ms, output adds p50 ms", "< 1",
     lambda r: r.dmx("spaced-30ms", "output_adds_p50_ms")),
    # The web page: 10 pages on loopback beside the same traffic (1 000 datagrams a second) with
    # none, in the same run of the host.
    ("web, 10 pages: OSC handled rate / no pages", ">= 0.95",
     lambda r: ratio(r.web("10-pages", "handled_per_s"), r.web("no-pages", "handled_per_s"))),
    ("web, 10 pages: levels updates a second, fewest of a page / 25", ">= 0.95",
     lambda r: r.web("10-pages", "updates_vs_possible")),
    ("web, 10 pages: OSC to the page's levels, p50 ms, worst page", "<= 50",
     lambda r: r.web("10-pages", "page_p50_ms_worst")),
    ("web, 10 pages: OSC to the page's levels, p99 ms, worst page", "<= 100",
     lambda r: r.web("10-pages", "page_p99_ms_worst")),
    ("web, 10 pages: host CPU / no pages", "",
     lambda r: ratio(r.web("10-pages", "host_cpu_percent"), r.web("no-pages", "host_cpu_percent"))),
    ("web, 10 pages: OSC to execute p50 / no pages", "",
     lambda r: ratio(r.web("10-pages", "execute_p50_ms"), r.web("no-pages", "execute_p50_ms"))),
    ("web, no pages: host CPU at 1 000 datagrams a second, %", "",
     lambda r: r.web("no-pages", "host_cpu_percent")),
]

SHOW = [("ready_ms", "show of 10 000 rows: start to ready, ms", "< 1000"),
        ("rss_mb", "show of 10 000 rows: resident, MB", "< 100"),
        ("editor_ms", "show of 10 000 rows: editor filled, ms", "< 2000"),
        ("save_ms", "show of 10 000 rows: save, ms", "< 1000")]


def spread(results, figure):
    values = results.per_round(figure)
    if not values:
        return "-"
    median = results.median(figure)
    if len(values) == 1:
        return f"{median:.3g}"
    return f"{median:.3g} ({min(values):.3g}-{max(values):.3g})"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("results")
    parser.add_argument("--against")
    parser.add_argument("--markdown", action="store_true", help="a table for docs/performance.md")
    args = parser.parse_args()
    now = Results(args.results)
    before = Results(args.against) if args.against else None

    rows = decode_rows(now) + ROWS
    header = ["measure", "target", f"now, median ({len(now.rounds)} rounds, low-high)"]
    if before:
        header.insert(2, f"before ({len(before.rounds)} rounds)")
    lines = [header]
    for name, target, figure in rows:
        line = [name, target, spread(now, figure)]
        if before:
            line.insert(2, spread(before, figure))
        lines.append(line)
    for key, name, target in SHOW:
        line = [name, target, fmt(now.show.get(key))]
        if before:
            line.insert(2, fmt(before.show.get(key)))
        lines.append(line)
    if args.markdown:
        print_markdown(lines)
    else:
        print_table(lines)
    return 0


def fmt(value):
    return "-" if value is None else f"{value:.4g}"


def print_markdown(lines):
    for n, line in enumerate(lines):
        print("| " + " | ".join(line) + " |")
        if n == 0:
            print("|" + "---|" * len(line))


def print_table(lines):
    widths = [max(len(line[i]) for line in lines) for i in range(len(lines[0]))]
    for n, line in enumerate(lines):
        print(" | ".join(cell.ljust(w) for cell, w in zip(line, widths)).rstrip())
        if n == 0:
            print("-+-".join("-" * w for w in widths))


if __name__ == "__main__":
    sys.exit(main())
