#!/usr/bin/python3
"""Draws the benchmarks' pictures from the results folder `./dev bench` writes (Debian's
python3-matplotlib):

    latency.png   the latency's distribution, paced 1000/s and ping-pong, per receiver
    backlog.png   the backlog drain rate per receiver, median and the rounds' range
    decode.png    decode time per datagram per corpus item, tarvex beside liblo and oscpack

    /usr/bin/python3 bench/plots.py build/bench/results/current docs/performance
"""
import pathlib
import statistics
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

from results import Results  # noqa: E402

RECEIVERS = ["recvfrom", "poll", "qt", "qt-thread", "liblo", "tarvex"]
COLOURS = {"recvfrom": "#555555", "poll": "#999999", "qt": "#9467bd", "qt-thread": "#e377c2", "liblo": "#1f77b4", "tarvex": "#d62728",
           "oscpack": "#2ca02c"}


def median_quantiles(results, impl, mode):
    """The median over the rounds of each quantile, 0 % to 100 %."""
    rounds = results.per_round(lambda r: r.e2e(impl, mode, "quantiles_us"))
    rounds = [q for q in rounds if q]
    if not rounds:
        return None
    return [statistics.median(q[i] for q in rounds) for i in range(len(rounds[0]))]


def draw_latency(results, out):
    fig, axes = plt.subplots(1, 2, figsize=(10, 4), sharey=True)
    for ax, (mode, title) in zip(axes, [("paced", "paced, 1 000 datagrams/s"),
                                        ("pingpong", "ping-pong")]):
        for impl in RECEIVERS:
            q = median_quantiles(results, impl, mode)
            if not q:
                continue
            shares = [i / (len(q) - 1) * 100 for i in range(len(q))]
            # The last percent is the tail of a shared machine: the curve stops at 99 %.
            ax.plot(q[:-1], shares[:-1], label=impl, color=COLOURS[impl],
                    linewidth=2.2 if impl == "tarvex" else 1.4)
        ax.set_xscale("log")
        ax.set_title(title)
        ax.set_xlabel("send to handled, µs (log)")
        ax.grid(True, which="both", alpha=0.3)
    axes[0].set_ylabel("datagrams handled within, %")
    axes[0].legend(loc="lower right")
    fig.suptitle(f"Latency on 127.0.0.1, median of {len(results.rounds)} rounds per percentile")
    fig.tight_layout()
    fig.savefig(out / "latency.png", dpi=100)
    plt.close(fig)


def draw_backlog(results, out):
    fig, ax = plt.subplots(figsize=(6, 4))
    names, medians, lows, highs = [], [], [], []
    for impl in RECEIVERS:
        rates = results.per_round(lambda r, i=impl: r.e2e(i, "backlog", "handled_per_s"))
        if not rates:
            continue
        m = statistics.median(rates) / 1000
        names.append(impl)
        medians.append(m)
        lows.append(m - min(rates) / 1000)
        highs.append(max(rates) / 1000 - m)
    ax.bar(names, medians, yerr=[lows, highs], capsize=6,
           color=[COLOURS[n] for n in names])
    for x, m in enumerate(medians):
        ax.text(x, m, f"{m:.0f}", ha="center", va="bottom")
    ax.set_ylabel("thousand datagrams drained per second")
    ax.set_title(f"Backlog of 4 000 datagrams, median and range of {len(results.rounds)} rounds")
    fig.tight_layout()
    fig.savefig(out / "backlog.png", dpi=100)
    plt.close(fig)


def draw_decode(results, out):
    items = results.corpus()
    if not items:
        return
    fig, ax = plt.subplots(figsize=(9, 4))
    impls = ["tarvex", "tarvex-values", "liblo", "oscpack"]
    colours = [COLOURS["tarvex"], "#ff9896", COLOURS["liblo"], COLOURS["oscpack"]]
    width = 0.8 / len(impls)
    for k, (impl, colour) in enumerate(zip(impls, colours)):
        values = [results.median(lambda r, i=item: r.bench(f"decode/{impl}/{i}")) for item in items]
        xs = [n + (k - (len(impls) - 1) / 2) * width for n in range(len(items))]
        ax.bar(xs, [v or 0 for v in values], width, label=impl, color=colour)
    ax.set_xticks(range(len(items)), items)
    ax.set_yscale("log")
    ax.set_ylabel("ns per datagram (log)")
    ax.set_title(f"Decoding, median of {len(results.rounds)} rounds "
                 "(tarvex-values: every argument read as a value)")
    ax.legend()
    fig.tight_layout()
    fig.savefig(out / "decode.png", dpi=100)
    plt.close(fig)


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    results = Results(sys.argv[1])
    out = pathlib.Path(sys.argv[2])
    out.mkdir(parents=True, exist_ok=True)
    draw_latency(results, out)
    draw_backlog(results, out)
    draw_decode(results, out)
    print(f"plots written to {out}/: latency.png, backlog.png, decode.png")
    return 0


if __name__ == "__main__":
    sys.exit(main())
