#!/usr/bin/env python3
"""tickwell-chart's SVG picture, read by a real XML parser and rendered.

    check_chart_svg.py TICKWELL_CHART REAL_BARS_CSV SMALL_BARS_CSV

The real bars are used when the file exists (CI fetches them), else the
small ones. Exit 0 on success, 1 on a fault, 77 when no renderer exists.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

SVG = "{http://www.w3.org/2000/svg}"


def fail(message):
    print("FAILED: " + message)
    sys.exit(1)


def chart_grid_letters(text):
    """X and O boxes of the printed chart: the cells left of the labels."""
    lines = text.split("\n")
    # LAST LINE, rule, then the top line of dots whose length is the width.
    top = lines[2]
    width = len(top) - len(top.lstrip("."))
    counts = {"X": 0, "O": 0}
    for line in lines[3:]:
        if line == "":
            break
        for cell in line[:width]:
            if cell in counts:
                counts[cell] += 1
    return width, counts


def main():
    program, real_csv, small_csv = sys.argv[1:4]
    bars = real_csv if real_csv and os.path.isfile(real_csv) else small_csv
    renderer = shutil.which("rsvg-convert")
    magick = shutil.which("convert")
    if not renderer and not magick:
        print("SKIPPED: neither rsvg-convert (librsvg2-bin) nor convert (imagemagick) is installed")
        sys.exit(77)

    work = tempfile.mkdtemp(prefix="chart_svg_")
    try:
        svg_path = os.path.join(work, "chart.svg")
        run = subprocess.run([program, "-s", "60", "--svg", svg_path, bars],
                             capture_output=True, text=True, timeout=60)
        if run.returncode != 0:
            fail("tickwell-chart ended with %d: %s" % (run.returncode, run.stderr))
        width, letters = chart_grid_letters(run.stdout)

        root = ET.parse(svg_path).getroot()
        if root.tag != SVG + "svg":
            fail("the root element is " + root.tag)
        xs = root.findall(".//%sg[@class='x']" % SVG)
        os_ = root.findall(".//%sg[@class='o']" % SVG)
        if (len(xs), len(os_)) != (letters["X"], letters["O"]):
            fail("glyphs X %d O %d, the chart's boxes X %d O %d"
                 % (len(xs), len(os_), letters["X"], letters["O"]))
        for glyph in xs + os_:
            title = glyph.find(SVG + "title")
            if title is None or " - " not in (title.text or ""):
                fail("a glyph without its price range")
            low, high = (float(p) for p in title.text.split(": ")[1].split(" - "))
            if not low < high:
                fail("a box title whose range is empty: " + title.text)
        months = root.findall(".//%stext[@class='month']" % SVG)
        if len(months) != width:
            fail("%d month labels for %d columns" % (len(months), width))
        if not root.findall(".//%stext[@class='label']" % SVG):
            fail("no price labels")

        png_path = os.path.join(work, "chart.png")
        command = [renderer, svg_path, "-o", png_path] if renderer else [magick, svg_path, png_path]
        rendered = subprocess.run(command, capture_output=True, text=True, timeout=60)
        if rendered.returncode != 0:
            fail("rendering failed: " + rendered.stderr)
        with open(png_path, "rb") as png:
            head = png.read(24)
        if head[:8] != b"\x89PNG\r\n\x1a\n":
            fail("the rendered file is no PNG")
        png_width = int.from_bytes(head[16:20], "big")
        if png_width < width * 10:
            fail("the picture is %d pixels wide for %d columns" % (png_width, width))

        # Bad input: the file and line, exit 1, and no picture.
        bad = os.path.join(work, "bad.csv")
        with open(bad, "w") as out:
            out.write("date,open,high,low,close\n2024-01-02,1,2,0.5,1.5\n2024-01-03,1,x,0.5,1\n")
        bad_svg = os.path.join(work, "bad.svg")
        refused = subprocess.run([program, "--svg", bad_svg, bad],
                                 capture_output=True, text=True, timeout=60)
        if refused.returncode != 1 or bad + ":3: bad high price" not in refused.stderr:
            fail("bad input: exit %d, %r" % (refused.returncode, refused.stderr))
        if os.path.exists(bad_svg) or refused.stdout:
            fail("bad input still wrote something")
        print("ok: %d X and %d O glyphs in %d columns, rendered %d px wide"
              % (len(xs), len(os_), width, png_width))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
