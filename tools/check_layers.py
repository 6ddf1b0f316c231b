#!/usr/bin/python3
"""Checks the folders' layering from their includes.

Every include names its file from the repository's root, so the folder of
each source file and the folders it includes from form a graph. It must have
no circle, and the layers keep to their rules:
  - platform/ holds the service interfaces and its README only;
  - portable/, platform/ (the interfaces), window/ (the model) and the step
    folders include no platform implementation and no window toolkit;
  - only app/, the toolkits, the implementations' own folders, tests and
    benchmarks may name an implementation.
Prints each fault and exits 1; exits 0 when the shape holds.
"""
import os
import re
import sys

ROOT = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
SOURCE = (".cpp", ".hpp", ".h", ".c")
SKIP = ("build", ".git")
IMPLEMENTATIONS = ("platform/linux", "platform/win32", "window/qt", "window/win32")
# Folders that see the interfaces only.
INTERFACE_ONLY = ("portable", "platform", "window", "server", "ftp", "install", "filetime", "release", "publish")
# The publishing tool reads files as the client does and has no window.
NO_WINDOW = ("publish",)
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def source_files():
    for folder, dirs, files in os.walk(ROOT):
        rel = os.path.relpath(folder, ROOT)
        dirs[:] = [d for d in dirs if not (rel == "." and d.startswith(SKIP))]
        for name in files:
            if name.endswith(SOURCE):
                yield os.path.normpath(os.path.join(rel, name)).replace(os.sep, "/")


def under(path, folder):
    return path == folder or path.startswith(folder + "/")


def layer_faults(graph):
    faults = []
    for name in sorted(os.listdir(os.path.join(ROOT, "platform"))):
        path = os.path.join(ROOT, "platform", name)
        if os.path.isfile(path) and not (name.endswith(".hpp") or name in ("README.md", "CMakeLists.txt")):
            faults.append(f"platform/{name}: only interfaces (headers) and the README belong in platform/")
    for (source, target), where in sorted(graph.items()):
        if any(under(target, impl) for impl in IMPLEMENTATIONS) and not any(under(source, impl) for impl in IMPLEMENTATIONS):
            top = source.split("/")[0]
            # a step folder's benchmarks are programs: they may pick the toolkit
            if top in INTERFACE_ONLY and "/bench" not in "/" + source + "/" and not under(source, "platform/linux") \
                    and not under(source, "platform/win32"):
                faults.append(f"{where}: {source}/ must not include from {target}/ (an implementation)")
        if source.split("/")[0] in NO_WINDOW and under(target, "window"):
            faults.append(f"{where}: {source}/ must not include from {target}/ (it has no window)")
    return faults


def circles(nodes, edges):
    """The strongly connected components of more than one folder (Tarjan)."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []
    counter = [0]

    def visit(v):
        index[v] = low[v] = counter[0]
        counter[0] += 1
        stack.append(v)
        on_stack.add(v)
        for w in sorted(edges.get(v, ())):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on_stack:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            component = []
            while True:
                w = stack.pop()
                on_stack.discard(w)
                component.append(w)
                if w == v:
                    break
            if len(component) > 1:
                found.append(sorted(component))

    sys.setrecursionlimit(10000)
    for v in sorted(nodes):
        if v not in index:
            visit(v)
    return found


def main():
    graph = {}  # (from folder, to folder) -> the first include that makes the edge
    nodes = set()
    for path in source_files():
        folder = os.path.dirname(path)
        nodes.add(folder)
        with open(os.path.join(ROOT, path), encoding="utf-8", errors="replace") as f:
            text = f.read()
        for line_no, target in ((text.count("\n", 0, m.start()) + 1, m.group(1)) for m in INCLUDE.finditer(text)):
            if "/" not in target:
                if os.path.exists(os.path.join(ROOT, folder, target)):
                    print(f"{path}:{line_no}: include \"{target}\" by its path from the root")
                    graph.setdefault(("!", "!"), "bare")
                continue
            to = os.path.dirname(target)
            if to != folder and os.path.exists(os.path.join(ROOT, target)):
                nodes.add(to)
                graph.setdefault((folder, to), f"{path}:{line_no}")
    faults = layer_faults({k: v for k, v in graph.items() if k != ("!", "!")})
    edges = {}
    for (a, b) in graph:
        if a != "!":
            edges.setdefault(a, set()).add(b)
    for component in circles(nodes, edges):
        members = set(component)
        links = [f"  {a} -> {b} ({graph[(a, b)]})" for (a, b) in sorted(graph) if a in members and b in members]
        faults.append("folders in a circle: " + ", ".join(component) + "\n" + "\n".join(links))
    for fault in faults:
        print(fault)
    if faults or ("!", "!") in graph:
        return 1
    print(f"{len(nodes)} folders, {sum(len(v) for v in edges.values())} links between them, no circle")
    return 0


if __name__ == "__main__":
    sys.exit(main())
