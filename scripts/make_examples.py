#!/usr/bin/env python3
"""Writes the example batch input files in examples/.

hald.ayq        the Hald cement data (13 observations, x1..x4, y), raw form
hald_xpx.ayq    the same data as exact sums of cross-products
plant.ayq       a synthetic process data set with 12 predictors, its names
                continued with NEXTLINE; deterministic (a fixed LCG)
plant_xpx.ayq   the same data as exact sums, in two blocks of columns
wide.ayq        the largest data set the program takes: 200 observations of
                49 predictors and a response; deterministic (a fixed LCG)

Run from the repository root: python3 scripts/make_examples.py
"""
from fractions import Fraction
from pathlib import Path

HALD = [
    (7, 26, 6, 60, "78.5"), (1, 29, 15, 52, "74.3"), (11, 56, 8, 20, "104.3"),
    (11, 31, 8, 47, "87.6"), (7, 52, 6, 33, "95.9"), (11, 55, 9, 22, "109.2"),
    (3, 71, 17, 6, "102.7"), (1, 31, 22, 44, "72.5"), (2, 54, 18, 22, "93.1"),
    (21, 47, 4, 26, "115.9"), (1, 40, 23, 34, "83.8"), (11, 66, 9, 12, "113.3"),
    (10, 68, 8, 12, "109.4"),
]

PLANT_NAMES = ["feed", "temp", "press", "flow", "ph", "conc", "stir", "time",
               "cool", "purity", "load", "speed", "yield"]


def decimal(q: Fraction) -> str:
    """Exact decimal text of a fraction whose denominator divides a power of 10."""
    sign = "-" if q < 0 else ""
    q = abs(q)
    scale = 0
    while (q * 10**scale).denominator != 1:
        scale += 1
    digits = str((q * 10**scale).numerator).rjust(scale + 1, "0")
    if scale == 0:
        return sign + digits
    return sign + digits[:-scale] + "." + digits[-scale:]


def cross_products(names, rows, title):
    """The cross-product form: [XPX | XPY | XP1] in blocks of 8, SUMY, SUMSQY."""
    nvar = len(names)
    data = [[Fraction(v) for v in row] for row in rows]
    p = nvar - 1
    matrix = []
    for i in range(p):
        xpx = [sum(r[i] * r[j] for r in data) for j in range(p)]
        xpy = sum(r[i] * r[p] for r in data)
        xp1 = sum(r[i] for r in data)
        matrix.append(xpx + [xpy, xp1])
    lines = [f"{nvar}   variables: {title}", f"-{len(rows)}   observations behind the sums",
             " ".join(names)]
    cols = nvar + 1
    for first in range(0, cols, 8):
        last = min(first + 8, cols)
        lines.append(f"block of columns {first + 1} to {last}")
        for row in matrix:
            lines.append(" ".join(decimal(v) for v in row[first:last]))
    lines.append(decimal(sum(r[p] for r in data)) + "   SUMY")
    lines.append(decimal(sum(r[p] * r[p] for r in data)) + "   SUMSQY")
    return "\n".join(lines) + "\n"


def plant_rows():
    """40 observations from a fixed linear congruential generator: a few
    predictors move together so that shrinkage has something to do."""
    state = 20240601

    def uniform():
        nonlocal state
        state = (1103515245 * state + 12345) % 2**31
        return state / 2**31

    coef = [1.8, 0.9, -0.6, 0.0, 0.4, 1.1, 0.0, -0.3, 0.5, 0.0, 0.2, -0.4]
    rows = []
    for _ in range(40):
        base = uniform()
        x = []
        for k in range(12):
            # feed, temp and press share a common factor; the rest are free.
            v = 0.7 * base + 0.3 * uniform() if k < 3 else uniform()
            x.append(round(10 * v, 2))
        y = 5 + sum(c * v for c, v in zip(coef, x)) + 2 * (uniform() - 0.5)
        rows.append([f"{v:.2f}" for v in x] + [f"{y:.3f}"])
    return rows


def wide_rows():
    """200 observations of 49 predictors that share a common factor, and a
    response that depends on every other one of them."""
    state = 20241207

    def uniform():
        nonlocal state
        state = (1103515245 * state + 12345) % 2**31
        return state / 2**31

    rows = []
    for _ in range(200):
        common = uniform() - 0.5
        x = [round(10 * (0.7 * common + uniform() - 0.5), 3) for _ in range(49)]
        y = sum(v / (1 + k) for k, v in enumerate(x) if k % 2 == 0) + 2 * (uniform() - 0.5)
        rows.append([f"{v:.3f}" for v in x] + [f"{y:.4f}"])
    return rows


def main():
    out = Path("examples")
    out.mkdir(exist_ok=True)
    hald_rows = [[str(a), str(b), str(c), str(d), y] for a, b, c, d, y in HALD]

    text = ["5   variables: Hald cement data, heat from four ingredients",
            "13  observations", "x1 x2 x3 x4 y"]
    text += [" ".join(r) for r in hald_rows]
    (out / "hald.ayq").write_text("\n".join(text) + "\n")
    (out / "hald_xpx.ayq").write_text(
        cross_products(["x1", "x2", "x3", "x4", "y"], hald_rows, "Hald cement data as sums"))

    rows = plant_rows()
    text = ["13  variables: synthetic plant data, names on three lines",
            "40  observations",
            " ".join(PLANT_NAMES[0:5]) + " NEXTLINE",
            " ".join(PLANT_NAMES[5:10]) + " NEXTLINE",
            " ".join(PLANT_NAMES[10:13])]
    text += [" ".join(r) for r in rows]
    (out / "plant.ayq").write_text("\n".join(text) + "\n")
    (out / "plant_xpx.ayq").write_text(
        cross_products(PLANT_NAMES, rows, "synthetic plant data as sums"))

    names = [f"x{k:02d}" for k in range(1, 50)] + ["y"]
    text = ["50  variables: the largest data set, 49 predictors",
            "200 observations"]
    text += [" ".join(names[k:k + 10]) + (" NEXTLINE" if k + 10 < 50 else "")
             for k in range(0, 50, 10)]
    text += [" ".join(r) for r in wide_rows()]
    (out / "wide.ayq").write_text("\n".join(text) + "\n")


if __name__ == "__main__":
    main()
