#!/usr/bin/env python3
"""Draws the program's icon: an LED clock sign, amber dots on a dark case.

The SVG is the source; the PNGs beside it are made once from it and committed, because users
build without an SVG renderer:
    tools/draw-icon.py > data/icons/org.meridial.Meridial.svg
    rsvg-convert -w 48 -h 48 data/icons/org.meridial.Meridial.svg -o data/icons/48/org.meridial.Meridial.png
    rsvg-convert -w 128 -h 128 data/icons/org.meridial.Meridial.svg -o data/icons/128/org.meridial.Meridial.png
"""

# 5x7 dot-matrix glyphs, the way the sign draws its time line.
GLYPHS = {
    "1": ["..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "2": [".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"],
    "3": ["####.", "....#", "....#", ".###.", "....#", "....#", "####."],
    "0": [".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."],
    ":": [".", "#", "#", ".", "#", "#", "."],
}

LIT = "#ffb000"
UNLIT = "#3a2a0c"


def columns(text):
    cols = []
    for i, ch in enumerate(text):
        glyph = GLYPHS[ch]
        for x in range(len(glyph[0])):
            cols.append([row[x] == "#" for row in glyph])
        if i + 1 < len(text):
            cols.append([False] * 7)
    return cols


def dots(cols, left, top, pitch, radius):
    out = []
    for x, col in enumerate(cols):
        for y, lit in enumerate(col):
            cx = left + x * pitch + pitch / 2
            cy = top + y * pitch + pitch / 2
            out.append(f'<circle cx="{cx:.2f}" cy="{cy:.2f}" r="{radius:.2f}" '
                       f'fill="{LIT if lit else UNLIT}"/>')
    return out


def main():
    time = columns("12:30")  # 25 columns
    pitch = 108 / len(time)
    parts = [
        '<svg xmlns="http://www.w3.org/2000/svg" width="128" height="128" viewBox="0 0 128 128">',
        '<rect x="4" y="14" width="120" height="100" rx="12" fill="#16181d" stroke="#454a55" '
        'stroke-width="3"/>',
    ]
    parts += dots(time, 10, 24, pitch, pitch * 0.4)
    # The date and information lines: short runs of lit dots, read as text from afar.
    for row, runs in ((0, [(0, 7), (9, 14)]), (1, [(0, 4), (6, 13), (15, 19), (21, 25)])):
        cy = 70 + row * 18 + pitch / 2
        for x in range(len(time)):
            lit = any(a <= x < b for a, b in runs)
            cx = 10 + x * pitch + pitch / 2
            parts.append(f'<circle cx="{cx:.2f}" cy="{cy:.2f}" r="{pitch * 0.4:.2f}" '
                         f'fill="{LIT if lit else UNLIT}"/>')
    parts.append('<rect x="54" y="114" width="20" height="8" fill="#454a55"/>')
    parts.append("</svg>")
    print("\n".join(parts))


if __name__ == "__main__":
    main()
