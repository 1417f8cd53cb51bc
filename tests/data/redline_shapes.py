#!/usr/bin/env python3
"""Ideal pixel masks of markup shapes, to compare GDI's drawing with.

Usage: redline_shapes.py INPUT OUTPUT. The first input line is
"size W H scale S" (S pixels per millimetre, page origin at pixel 0, y down);
every further line is one shape in page millimetres:
  rect X1 Y1 X2 Y2 WIDTH      outline of a box, pen WIDTH mm
  ellipse X1 Y1 X2 Y2 WIDTH   outline of the ellipse in a box
  polyline WIDTH X Y X Y ...  an open chain of segments
  fill X1 Y1 X2 Y2            a filled box
Each output line is the mask of one shape: W*H characters, row by row, '1'
where the ideal shape covers the pixel's centre. A pixel is a device point:
millimetres map to floor(v * S + 0.5), and a box reaches its far corner's
pixel. Pens are at least one pixel wide.
"""
import math
import sys


def device(value, scale):
    return math.floor(value * scale + 0.5)


def pen(width_mm, scale):
    return max(1, math.floor(width_mm * scale + 0.5))


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length = dx * dx + dy * dy
    t = 0 if length == 0 else max(0, min(1, ((px - ax) * dx + (py - ay) * dy) / length))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def shape_mask(words, width, height, scale):
    kind, numbers = words[0], [float(w) for w in words[1:]]
    if kind == "polyline":
        half = max(pen(numbers[0], scale) / 2, 0.5)
        points = [(device(numbers[i], scale), device(numbers[i + 1], scale)) for i in range(1, len(numbers), 2)]
        segments = list(zip(points, points[1:]))
        return lambda x, y: any(segment_distance(x, y, *a, *b) <= half for a, b in segments)
    left, top = device(min(numbers[0], numbers[2]), scale), device(min(numbers[1], numbers[3]), scale)
    right, bottom = device(max(numbers[0], numbers[2]), scale), device(max(numbers[1], numbers[3]), scale)
    if kind == "fill":
        return lambda x, y: left <= x <= right and top <= y <= bottom
    half = max(pen(numbers[4], scale) / 2, 0.5)
    if kind == "rect":
        def on_rect(x, y):
            inside_outer = left - half <= x <= right + half and top - half <= y <= bottom + half
            inside_inner = left + half < x < right - half and top + half < y < bottom - half
            return inside_outer and not inside_inner
        return on_rect
    cx, cy, a, b = (left + right) / 2, (top + bottom) / 2, (right - left) / 2, (bottom - top) / 2

    def on_ellipse(x, y):
        dx, dy = x - cx, y - cy
        value = (dx / a) ** 2 + (dy / b) ** 2 - 1
        gradient = 2 * math.hypot(dx / (a * a), dy / (b * b))
        if gradient == 0:
            return False
        return abs(value) / gradient <= half
    return on_ellipse


with open(sys.argv[1]) as source, open(sys.argv[2], "w") as target:
    header = source.readline().split()
    width, height, scale = int(header[1]), int(header[2]), float(header[4])
    for line in source:
        if not line.strip():
            continue
        covers = shape_mask(line.split(), width, height, scale)
        target.write("".join("1" if covers(x, y) else "0" for y in range(height) for x in range(width)) + "\n")
