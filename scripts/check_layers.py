#!/usr/bin/env python3
"""Checks that the source tree keeps its layers.

Reads the layer table (cmake/layers.txt), scans every C and C++ file under the layer
folders, resolves each #include to a file of the tree and reports, one line each:
  - an include into a layer that the including layer may not use,
  - an include that names a subsystem folder but resolves to no file,
  - two files that include each other,
  - a cycle between folders (subsystem folders such as core/pages, or whole components
    such as qpcomm).
Exit status: 0 without findings, 1 with findings, 2 for a bad command line or table.
Python 3 standard library only.
"""

from __future__ import annotations

import argparse
import os
import posixpath
import re
import sys
from collections import deque
from dataclasses import dataclass

SOURCE_SUFFIXES = (".h", ".hpp", ".c", ".cpp")
INCLUDE_RE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
NAME_RE = re.compile(r"^[A-Za-z_][A-Za-z0-9_]*$")
ALL_ABOVE = "*"


class TableError(Exception):
    """A layer table that cannot be used; the message names the file and line."""


@dataclass
class TableLine:
    name: str
    root: str
    subsystems: bool
    owns: list[str]
    uses: list[str]
    number: int


@dataclass
class Layer:
    """One layer, or one folder of a line whose root ends in /* (then group is the line)."""

    name: str
    group: str
    root: str
    owns: list[str]
    subsystems: bool
    uses: list[str]
    number: int


@dataclass
class Include:
    source: str
    line: int
    delim: str
    text: str

    def spelled(self) -> str:
        closing = ">" if self.delim == "<" else '"'
        return f"#include {self.delim}{self.text}{closing}"

    def where(self) -> str:
        return f"{self.source}:{self.line}"


# ----------------------------------------------------------------------------------------
# The layer table


def check_path(value: str, where: str) -> str:
    parts = value.split("/")
    if value.startswith("/") or {"", ".", ".."} & set(parts):
        raise TableError(f"{where}: '{value}' must be a relative path inside the source root, "
                         "without ., .. or a trailing /")
    if "*" in value and (value.count("*") > 1 or parts[-1] != "*"):
        raise TableError(f"{where}: '{value}': * may only stand as the last folder")
    return value


def parse_line(text: str, number: int, where: str) -> TableLine:
    if ":" not in text:
        raise TableError(f"{where}: expected '<name> <root> [options] : <uses>'")
    left, right = text.split(":", 1)
    words = left.split()
    if len(words) < 2:
        raise TableError(f"{where}: expected a layer name and an include root before ':'")
    name, root, *options = words
    if not NAME_RE.match(name):
        raise TableError(f"{where}: '{name}' is not a layer name (letters, digits, _)")
    subsystems, owns = False, []
    for option in options:
        if option == "subsystems":
            subsystems = True
        elif option.startswith("owns=") and len(option) > 5:
            owns = [check_path(p, where) for p in option[5:].split(",")]
        else:
            raise TableError(f"{where}: unknown option '{option}'")
    check_path(root, where)
    if root.endswith("*") and owns:
        raise TableError(f"{where}: a root ending in /* owns its subfolders; drop owns=")
    return TableLine(name, root, subsystems, owns, right.split(), number)


def read_table(path: str, shown: str) -> list[TableLine]:
    lines: list[TableLine] = []
    with open(path, encoding="utf-8") as table:
        for number, raw in enumerate(table, 1):
            text = raw.split("#", 1)[0].strip()
            if text:
                lines.append(parse_line(text, number, f"{shown}:{number}"))
    if not lines:
        raise TableError(f"{shown}: the table names no layer")
    resolve_uses(lines, shown)
    return lines


def resolve_uses(lines: list[TableLine], shown: str) -> None:
    """Checks the names after the colons, expands * and rejects rules that form a cycle."""
    seen: list[str] = []
    defined = {line.name for line in lines}
    for line in lines:
        where = f"{shown}:{line.number}"
        if line.name in seen:
            raise TableError(f"{where}: layer '{line.name}' is defined twice")
        expanded: list[str] = []
        for used in line.uses:
            names = seen if used == ALL_ABOVE else [used]
            if used != ALL_ABOVE and used not in defined:
                raise TableError(f"{where}: '{used}' is not a layer of the table")
            if used == line.name:
                raise TableError(f"{where}: a layer always uses itself; do not list it")
            expanded += [n for n in names if n not in expanded]
        line.uses = expanded
        seen.append(line.name)
    cycle = find_cycle({line.name: line.uses for line in lines})
    if cycle:
        raise TableError(f"{shown}: the rules form a cycle: {' -> '.join(cycle)}")


def expand_layers(lines: list[TableLine], root: str, shown: str) -> tuple[list[Layer], list[str]]:
    """One Layer per line, or per subfolder for a root ending in /*; plus missing folders."""
    layers: list[Layer] = []
    missing: list[str] = []
    for line in lines:
        where = f"{shown}:{line.number}: layer {line.name}"
        if line.root.endswith("/*"):
            parent = line.root[:-2]
            if not os.path.isdir(os.path.join(root, parent)):
                missing.append(f"{where}: folder {parent} does not exist")
                continue
            for sub in sorted(os.listdir(os.path.join(root, parent))):
                folder = f"{parent}/{sub}"
                if not sub.startswith(".") and os.path.isdir(os.path.join(root, folder)):
                    layers.append(Layer(f"{line.name}/{sub}", line.name, folder, [folder],
                                        line.subsystems, line.uses, line.number))
            continue
        owns = line.owns or [line.root]
        for folder in dict.fromkeys([line.root] + owns):
            if not os.path.isdir(os.path.join(root, folder)):
                missing.append(f"{where}: folder {folder} does not exist")
        layers.append(Layer(line.name, line.name, line.root, owns, line.subsystems,
                            line.uses, line.number))
    return layers, missing


# ----------------------------------------------------------------------------------------
# Reading sources


def code_lines(text: str):
    """Yields (line number, line without comments); string and character literals are
    kept, so that a comment marker inside one does not hide the lines after it."""
    in_comment = False
    for number, line in enumerate(text.splitlines(), 1):
        out: list[str] = []
        quote = ""
        i = 0
        while i < len(line):
            if in_comment:
                end = line.find("*/", i)
                if end < 0:
                    break
                in_comment, i = False, end + 2
                continue
            char = line[i]
            if quote:
                if char == "\\":
                    out.append(line[i : i + 2])
                    i += 2
                    continue
                quote = "" if char == quote else quote
            elif line.startswith("//", i):
                break
            elif line.startswith("/*", i):
                in_comment = True
                out.append(" ")
                i += 2
                continue
            elif char == '"' or (char == "'" and not is_digit_separator(line, i)):
                quote = char
            out.append(char)
            i += 1
        yield number, "".join(out)


def is_digit_separator(line: str, i: int) -> bool:
    return 0 < i < len(line) - 1 and line[i - 1].isdigit() and line[i + 1].isalnum()


def is_generated(name: str) -> bool:
    base = posixpath.basename(name)
    return (base.startswith("moc_") and base.endswith(".cpp")) or base.endswith(".moc") or (
        base.startswith("ui_") and base.endswith(".h"))


def read_includes(root: str, source: str) -> list[Include]:
    with open(os.path.join(root, source), encoding="utf-8", errors="replace") as file:
        text = file.read()
    found = []
    for number, line in code_lines(text):
        match = INCLUDE_RE.match(line)
        if match and not is_generated(match.group(2)):
            found.append(Include(source, number, match.group(1), match.group(2).strip()))
    return found


# ----------------------------------------------------------------------------------------
# The tree: which layer owns a file, and where an include leads


class Tree:
    def __init__(self, root: str, layers: list[Layer]):
        self.root = root
        self.layers = layers
        self.by_group: dict[str, list[Layer]] = {}
        for layer in layers:
            self.by_group.setdefault(layer.group, []).append(layer)
        owned = [(folder, layer) for layer in layers for folder in layer.owns]
        self.owned = sorted(owned, key=lambda entry: -len(entry[0]))
        self.search_roots = {layer.name: self.roots_for(layer) for layer in layers}
        self.subsystem_names = self.folders_under_roots()
        self.files_seen: dict[str, bool] = {}

    def roots_for(self, layer: Layer) -> tuple[list[str], list[str]]:
        """The roots the layer may include from (its own first), and all others."""
        allowed = [layer.root] + [
            other.root for group in layer.uses for other in self.by_group.get(group, [])]
        allowed = list(dict.fromkeys(allowed))
        others = [other.root for other in self.layers if other.root not in allowed]
        return allowed, list(dict.fromkeys(others))

    def folders_under_roots(self) -> set[str]:
        names: set[str] = set()
        for root in {layer.root for layer in self.layers}:
            path = os.path.join(self.root, root)
            if os.path.isdir(path):
                names.update(entry.name for entry in os.scandir(path)
                             if entry.is_dir() and not entry.name.startswith("."))
        return names

    def owner(self, rel: str) -> Layer | None:
        for folder, layer in self.owned:
            if rel == folder or rel.startswith(folder + "/"):
                return layer
        return None

    def folder_of(self, layer: Layer, rel: str) -> str:
        if layer.subsystems and rel.startswith(layer.root + "/"):
            inner = rel[len(layer.root) + 1 :]
            if "/" in inner:
                return f"{layer.name}/{inner.split('/', 1)[0]}"
        return layer.name

    def sources(self) -> list[str]:
        found: set[str] = set()
        for folder, _ in self.owned:
            for path, dirs, files in os.walk(os.path.join(self.root, folder)):
                dirs[:] = [d for d in dirs if not d.startswith(".")]
                rel_dir = os.path.relpath(path, self.root).replace(os.sep, "/")
                found.update(f"{rel_dir}/{name}" for name in files
                             if name.endswith(SOURCE_SUFFIXES) and not is_generated(name))
        return sorted(found)

    def is_file(self, rel: str) -> bool:
        if rel not in self.files_seen:
            self.files_seen[rel] = os.path.isfile(os.path.join(self.root, rel))
        return self.files_seen[rel]

    def resolve(self, include: Include, layer: Layer) -> str | None:
        """The tree file an include names: the includer's folder (quoted includes only),
        then the roots the layer may use, then every other root, so that a forbidden
        include still resolves and can be reported. An angle include without a folder
        part is looked up in the allowed roots only: elsewhere it is a system header.
        A header that the build generates from a template (name.h.in beside where the
        header would be) resolves to its template."""
        if include.text.startswith("/"):
            return None
        allowed, others = self.search_roots[layer.name]
        bases = [posixpath.dirname(include.source)] if include.delim == '"' else []
        bases += allowed
        if include.delim == '"' or "/" in include.text:
            bases += others
        for base in bases:
            rel = posixpath.normpath(posixpath.join(base, include.text))
            if rel.startswith("../") or rel == "..":
                continue
            if self.is_file(rel):
                return rel
            if self.is_file(rel + ".in"):
                return rel + ".in"
        return None

    def looks_like_project_include(self, include: Include) -> bool:
        folders = include.text.split("/")[:-1]
        if include.delim == '"':
            return any(part in self.subsystem_names for part in folders)
        return bool(folders) and folders[0] in self.subsystem_names


# ----------------------------------------------------------------------------------------
# The rules


def reaches(uses: dict[str, list[str]], start: str, goal: str) -> bool:
    pending, seen = [start], set()
    while pending:
        name = pending.pop()
        if name == goal:
            return True
        if name not in seen:
            seen.add(name)
            pending += uses.get(name, [])
    return False


def layer_rule(tree: Tree, include: Include, source: Layer, target: Layer | None,
               path: str) -> str | None:
    """The finding for an include from one layer into another, or None if it is allowed."""
    head = f"{include.where()}: {include.spelled()} -> {path}"
    if target is None:
        return f"{head}: the file lies outside every layer folder"
    if target.name == source.name or target.group in source.uses:
        return None
    may_use = ", ".join(source.uses) or "no other layer"
    uses = {layer.group: layer.uses for layer in tree.layers}
    if target.group == source.group:
        why = f"{source.name} and {target.name} are separate folders of {source.group}"
    elif reaches(uses, target.group, source.group):
        why = f"{source.group} may not use {target.group}: it points up the layer table"
    else:
        why = f"{source.group} may not use {target.group}: a sideways include"
    return f"{head}: {why} ({source.group} may use: {may_use})"


def find_cycle(graph: dict[str, list[str]]) -> list[str] | None:
    """Some cycle of the graph as a closed path, or None."""
    for component in strongly_connected(graph):
        if len(component) > 1:
            return shortest_cycle(graph, component)
    return None


def strongly_connected(graph: dict[str, list[str]]) -> list[list[str]]:
    """The strongly connected components (Tarjan), each sorted, in a stable order."""
    index: dict[str, int] = {}
    low: dict[str, int] = {}
    stack: list[str] = []
    on_stack: set[str] = set()
    components: list[list[str]] = []

    def visit(node: str) -> None:
        index[node] = low[node] = len(index)
        stack.append(node)
        on_stack.add(node)
        for nxt in sorted(graph.get(node, [])):
            if nxt not in index:
                visit(nxt)
                low[node] = min(low[node], low[nxt])
            elif nxt in on_stack:
                low[node] = min(low[node], index[nxt])
        if low[node] == index[node]:
            component = []
            while True:
                member = stack.pop()
                on_stack.discard(member)
                component.append(member)
                if member == node:
                    break
            components.append(sorted(component))

    for node in sorted(graph):
        if node not in index:
            visit(node)
    return sorted(components)


def shortest_cycle(graph: dict[str, list[str]], component: list[str]) -> list[str]:
    start, members = component[0], set(component)
    came_from: dict[str, str] = {}
    queue = deque([start])
    while queue:
        node = queue.popleft()
        for nxt in sorted(graph.get(node, [])):
            if nxt == start:
                path = [node]
                while path[-1] != start:
                    path.append(came_from[path[-1]])
                return [start] + path[::-1][1:] + [start]
            if nxt in members and nxt not in came_from:
                came_from[nxt] = node
                queue.append(nxt)
    return component + [component[0]]


def folder_cycles(edges: dict[tuple[str, str], Include]) -> list[str]:
    graph: dict[str, list[str]] = {}
    for origin, goal in edges:
        graph.setdefault(origin, []).append(goal)
    findings = []
    for component in strongly_connected(graph):
        if len(component) < 2:
            continue
        cycle = shortest_cycle(graph, component)
        evidence = "; ".join(
            f"{edges[(a, b)].where()} {edges[(a, b)].spelled()}" for a, b in zip(cycle, cycle[1:]))
        finding = f"folder cycle: {' -> '.join(cycle)} ({evidence})"
        if len(component) > len(cycle) - 1:
            finding += f" [all folders of this cycle group: {', '.join(component)}]"
        findings.append(finding)
    return findings


def mutual_includes(file_edges: dict[str, dict[str, Include]]) -> list[str]:
    findings = []
    for source in sorted(file_edges):
        for target, include in sorted(file_edges[source].items()):
            back = file_edges.get(target, {}).get(source)
            if source < target and back is not None:
                findings.append(f"{include.where()}: {include.spelled()} and {back.where()}: "
                                f"{back.spelled()}: the two files include each other")
    return findings


# ----------------------------------------------------------------------------------------
# The check


@dataclass
class Result:
    findings: list[str]
    files: int = 0
    resolved: int = 0
    folders: int = 0
    layers: int = 0


def check(tree: Tree) -> Result:
    result = Result([])
    folder_edges: dict[tuple[str, str], Include] = {}
    file_edges: dict[str, dict[str, Include]] = {}
    folders: set[str] = set()
    for source in tree.sources():
        layer = tree.owner(source)
        assert layer is not None  # every scanned file lies under an owned folder
        folder = tree.folder_of(layer, source)
        folders.add(folder)
        result.files += 1
        try:
            includes = read_includes(tree.root, source)
        except OSError as error:
            result.findings.append(f"{source}: cannot be read: {error.strerror}")
            continue
        for include in includes:
            path = tree.resolve(include, layer)
            if path is None:
                if tree.looks_like_project_include(include):
                    result.findings.append(
                        f"{include.where()}: {include.spelled()}: resolves to no file of the "
                        "tree, though it names a subsystem folder")
                continue
            result.resolved += 1
            target = tree.owner(path)
            finding = layer_rule(tree, include, layer, target, path)
            if finding:
                result.findings.append(finding)
            if target is None or path == source:
                continue
            file_edges.setdefault(source, {}).setdefault(path, include)
            goal = tree.folder_of(target, path)
            if goal != folder:
                folder_edges.setdefault((folder, goal), include)
    result.findings += mutual_includes(file_edges)
    result.findings += folder_cycles(folder_edges)
    result.folders = len(folders)
    result.layers = len(tree.layers)
    return result


def shown_path(path: str, root: str) -> str:
    rel = os.path.relpath(path, root)
    return path if rel.startswith("..") else rel.replace(os.sep, "/")


def parse_arguments(argv: list[str] | None) -> argparse.Namespace:
    repository = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(
        description="Checks that the includes of the source tree keep to the layer table.")
    parser.add_argument("source_root", nargs="?", default=repository,
                        help="the tree to check (default: this repository)")
    parser.add_argument("--table", help="the layer table (default: <source root>/cmake/layers.txt)")
    return parser.parse_args(argv)


def main(argv: list[str] | None = None) -> int:
    args = parse_arguments(argv)
    root = os.path.abspath(args.source_root)
    if not os.path.isdir(root):
        print(f"check_layers: {args.source_root} is not a folder", file=sys.stderr)
        return 2
    table = os.path.abspath(args.table) if args.table else os.path.join(root, "cmake", "layers.txt")
    shown = shown_path(table, root)
    try:
        lines = read_table(table, shown)
    except TableError as error:
        print(f"check_layers: {error}", file=sys.stderr)
        return 2
    except OSError as error:
        print(f"check_layers: cannot read the layer table {shown}: {error.strerror}",
              file=sys.stderr)
        return 2
    layers, missing = expand_layers(lines, root, shown)
    result = check(Tree(root, layers))
    findings = missing + result.findings
    for finding in findings:
        print(finding)
    counts = (f"{result.files} files scanned, {result.resolved} includes resolved, "
              f"{result.folders} folders in {result.layers} layers")
    if findings:
        print(f"layers: {len(findings)} finding(s); {counts}")
        return 1
    print(f"layers: no findings; {counts}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
