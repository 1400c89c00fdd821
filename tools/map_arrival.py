#!/usr/bin/python3
"""Draws the arrival map of a vastrid2 run (ArrivalMapFile) as a PNG picture.

    /usr/bin/python3 tools/map_arrival.py ARRIVAL.asc PICTURE.png [options]

Land cells are coloured by the generation of their first arrival, with a
contour line every --step generations (the front of the expansion wave);
cells never reached (-1) are grey and positions off land (NODATA) pale blue.
With --generation-time the colour bar also gives the length of a generation.

It needs matplotlib (Debian: apt-get install python3-matplotlib) and runs with
Debian's own interpreter, /usr/bin/python3.
"""
import argparse
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402
from matplotlib.colors import ListedColormap  # noqa: E402

HEADER_KEYS = ("ncols", "nrows", "xllcorner", "yllcorner", "cellsize", "nodata_value")


def read_grid(path):
    """The header (a dict) and the values (nrows x ncols, row 0 north) of an ESRI ASCII grid."""
    with open(path) as text:
        header = {}
        for _ in HEADER_KEYS:
            words = text.readline().split()
            if len(words) < 2:
                sys.exit(f"map_arrival.py: '{path}' has no complete six-line ESRI ASCII grid header")
            header[words[0].lower()] = float(words[1])
        missing = [key for key in HEADER_KEYS if key not in header]
        if missing:
            sys.exit(f"map_arrival.py: the header of '{path}' lacks {', '.join(missing)}")
        values = np.array(text.read().split(), dtype=float)
    nrows, ncols = int(header["nrows"]), int(header["ncols"])
    if values.size != nrows * ncols:
        sys.exit(f"map_arrival.py: '{path}' holds {values.size} values, its header announces "
                 f"{nrows} x {ncols} = {nrows * ncols}")
    return header, values.reshape(nrows, ncols)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("arrival", help="arrival map written by the run (ArrivalMapFile)")
    parser.add_argument("picture", help="PNG file to write")
    parser.add_argument("--title", default="Generation of first arrival")
    parser.add_argument("--step", type=int, default=0,
                        help="generations between contour lines (default: about eight lines)")
    parser.add_argument("--generation-time", type=float, default=0.0,
                        help="years per generation (GenerationTime), shown with the colour bar")
    parser.add_argument("--dpi", type=int, default=100)
    args = parser.parse_args()

    header, grid = read_grid(args.arrival)
    nodata = header["nodata_value"]
    land = grid != nodata
    reached = land & (grid >= 0)
    if not reached.any():
        sys.exit(f"map_arrival.py: no land cell of '{args.arrival}' was ever reached")
    last = int(grid[reached].max())

    west = header["xllcorner"]
    south = header["yllcorner"]
    east = west + header["ncols"] * header["cellsize"]
    north = south + header["nrows"] * header["cellsize"]
    extent = (west, east, south, north)

    figure, axes = plt.subplots(figsize=(9, 6.5))
    axes.set_facecolor("#d6e9f5")  # off land
    never = np.where(land & ~reached, 1.0, np.nan)
    axes.imshow(never, extent=extent, cmap=ListedColormap(["#9a9a9a"]), interpolation="nearest")
    arrival = np.where(reached, grid, np.nan)
    image = axes.imshow(arrival, extent=extent, cmap="viridis", vmin=0, vmax=max(last, 1),
                        interpolation="nearest")
    step = args.step if args.step > 0 else max(1, int(round(last / 8.0, -1)) or 1)
    levels = np.arange(step, last + 1, step)
    if levels.size:
        xs = west + (np.arange(grid.shape[1]) + 0.5) * header["cellsize"]
        ys = north - (np.arange(grid.shape[0]) + 0.5) * header["cellsize"]
        lines = axes.contour(xs, ys, np.where(reached, grid, np.nan), levels=levels,
                             colors="white", linewidths=0.6)
        axes.clabel(lines, fmt="%d", fontsize=7, inline=True)
    axes.set_xlim(west, east)
    axes.set_ylim(south, north)
    axes.set_aspect("equal")
    axes.set_xlabel("longitude (x)")
    axes.set_ylabel("latitude (y)")
    axes.set_title(args.title)
    bar = figure.colorbar(image, ax=axes, shrink=0.8)
    label = f"generation of first arrival (contours every {step})"
    if args.generation_time > 0:
        label += f"\n1 generation = {args.generation_time:g} years"
    bar.set_label(label)
    axes.text(0.01, 0.01, "grey: land never reached", transform=axes.transAxes, fontsize=8,
              color="#404040", va="bottom")
    figure.tight_layout()
    figure.savefig(args.picture, dpi=args.dpi)
    print(f"{args.picture}: arrival from generation 0 to {last}, "
          f"{int((land & ~reached).sum())} land cells never reached")


if __name__ == "__main__":
    main()
