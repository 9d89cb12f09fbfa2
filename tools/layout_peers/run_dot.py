#!/usr/bin/env python3
"""Lays out a plain graph with graphviz dot (ranks top to bottom, orthogonal lines).

    run_dot.py <graph.json> <result.json> [time-out in seconds]

graph.json:  {"nodes": [{"id", "width", "height"}], "edges": [{"id", "source", "target"}]}
result.json: {"peer", "version", "ms", "nodes": [{"id", "x", "y"}], "edges": [{"id", "points"}]}
with box top-left corners and line points in pixels, y growing downwards. One pixel is
one point of dot's; "ms" is the wall time of the dot run.
"""
import json
import subprocess
import sys
import time


def quoted(text):
    return '"' + text.replace('"', '\\"') + '"'


def dot_source(graph):
    lines = ['digraph G {',
             'graph [splines=ortho];',
             'node [shape=box, fixedsize=true, label=""];',
             'edge [dir=none];']
    for node in graph["nodes"]:
        lines.append('%s [width=%.4f, height=%.4f];'
                     % (quoted(node["id"]), node["width"] / 72.0, node["height"] / 72.0))
    for edge in graph["edges"]:
        lines.append('%s -> %s [id=%s];'
                     % (quoted(edge["source"]), quoted(edge["target"]), quoted(edge["id"])))
    lines.append('}')
    return "\n".join(lines)


def point(text):
    x, y = text.split(",")[:2]
    return float(x), float(y)


def main():
    graph_path, result_path = sys.argv[1], sys.argv[2]
    timeout = float(sys.argv[3]) if len(sys.argv) > 3 else None
    with open(graph_path) as f:
        graph = json.load(f)
    sizes = {node["id"]: (node["width"], node["height"]) for node in graph["nodes"]}

    start = time.perf_counter()
    try:
        run = subprocess.run(["dot", "-Tjson"], input=dot_source(graph), capture_output=True, text=True,
                             timeout=timeout)
    except subprocess.TimeoutExpired:
        sys.stderr.write("dot: no drawing within %s s\n" % sys.argv[3])
        return 2
    ms = (time.perf_counter() - start) * 1000.0
    if run.returncode != 0:
        sys.stderr.write(run.stderr)
        return 1
    laid = json.loads(run.stdout)
    height = float(laid["bb"].split(",")[3])

    nodes = []
    names = {}
    for obj in laid.get("objects", []):
        if "pos" not in obj or obj["name"] not in sizes:
            continue
        names[obj["_gvid"]] = obj["name"]
        x, y = point(obj["pos"])
        w, h = sizes[obj["name"]]
        nodes.append({"id": obj["name"], "x": x - w / 2, "y": height - y - h / 2})
    edges = []
    for edge in laid.get("edges", []):
        # Spline control points; with orthogonal lines they lie on the drawn polyline.
        points = [point(p) for p in edge.get("pos", "").split() if not p.startswith(("e,", "s,"))]
        edges.append({"id": edge.get("id", ""), "points": [[x, height - y] for x, y in points]})

    version = subprocess.run(["dot", "-V"], capture_output=True, text=True).stderr.strip()
    with open(result_path, "w") as f:
        json.dump({"peer": "dot", "version": version, "ms": ms, "nodes": nodes, "edges": edges}, f)
    return 0


if __name__ == "__main__":
    sys.exit(main())
