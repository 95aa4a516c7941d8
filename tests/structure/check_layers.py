#!/usr/bin/env python3
"""Checks that the program's folders depend on each other in one direction.

The folder graph comes from the #include "runtime/..." and #include "app/..."
lines of runtime/ and app/: it must have no circle.  The application's
folders follow their own order: app/notes uses no other application folder,
app/recovery may use app/notes, app/slate may use both; no source lies in app/
itself, and no file in app/ is longer than APP_FILE_LINES lines.  Each runtime folder X
builds the library runtime_X, and its target_link_libraries must name exactly
the runtime libraries of the folders X includes, so that the build shows the
same one-way order as the sources.  Given the built libraries, it also
checks their symbols: a library may use symbols only of the libraries it
links, directly or through them.

Usage: check_layers.py SOURCE_DIR [NM runtime_X=path/to/libruntime_X.a ...]
"""
import os
import re
import subprocess
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*"((?:runtime|app)/[^/"]+)/[^"]*"', re.M)
# Each application folder and the application folders it may include.
APP_LAYERS = {
    'app/notes': set(),
    'app/recovery': {'app/notes'},
    'app/slate': {'app/notes', 'app/recovery'},
}
APP_FILE_LINES = 300
ADD_LIBRARY = re.compile(r'add_library\(\s*(runtime_\w+)')
LINK = re.compile(r'target_link_libraries\(\s*(runtime_\w+)([^)]*)\)', re.S)


def folder_of(path):
    parts = path.split('/')
    return '/'.join(parts[:2]) if len(parts) > 2 else parts[0]


def include_graph(root):
    graph = {}
    for top in ('runtime', 'app'):
        for directory, _, files in os.walk(os.path.join(root, top)):
            for name in files:
                if not name.endswith(('.h', '.cpp')):
                    continue
                path = os.path.relpath(os.path.join(directory, name), root).replace(os.sep, '/')
                source = folder_of(path)
                targets = graph.setdefault(source, {})
                with open(os.path.join(root, path), encoding='utf-8', errors='replace') as f:
                    for target in INCLUDE.findall(f.read()):
                        if target != source:
                            targets.setdefault(target, path)
    return graph


def find_circle(graph):
    """A list of folders forming a circle, or None."""
    state = {}
    trail = []

    def visit(node):
        state[node] = 'open'
        trail.append(node)
        for target in sorted(graph.get(node, {})):
            if state.get(target) == 'open':
                return trail[trail.index(target):] + [target]
            if target not in state:
                circle = visit(target)
                if circle:
                    return circle
        trail.pop()
        state[node] = 'done'
        return None

    for node in sorted(graph):
        if node not in state:
            circle = visit(node)
            if circle:
                return circle
    return None


def app_failures(root, graph):
    failures = []
    for directory, _, files in os.walk(os.path.join(root, 'app')):
        for name in sorted(files):
            path = os.path.relpath(os.path.join(directory, name), root).replace(os.sep, '/')
            if name.endswith(('.h', '.cpp')) and folder_of(path) not in APP_LAYERS:
                failures.append('%s lies outside the application folders %s' %
                                (path, ', '.join(sorted(APP_LAYERS))))
            with open(os.path.join(root, path), encoding='utf-8', errors='replace') as f:
                lines = sum(1 for _ in f)
            if lines > APP_FILE_LINES:
                failures.append('%s has %d lines, more than %d' % (path, lines, APP_FILE_LINES))
    for folder, allowed in sorted(APP_LAYERS.items()):
        for target, path in sorted(graph.get(folder, {}).items()):
            if target.startswith('app/') and target not in allowed:
                failures.append('%s includes %s (%s), which it may not use' % (folder, target, path))
    return failures


def link_graph(root):
    links = {}
    for folder in sorted(os.listdir(os.path.join(root, 'runtime'))):
        cmake = os.path.join(root, 'runtime', folder, 'CMakeLists.txt')
        if not os.path.isfile(cmake):
            continue
        with open(cmake, encoding='utf-8') as f:
            text = f.read()
        libraries = ADD_LIBRARY.findall(text)
        links['runtime/' + folder] = {
            'libraries': libraries,
            'links': {item for target, items in LINK.findall(text)
                      for item in items.split() if item.startswith('runtime_')},
        }
    return links


def symbols(nm, archive):
    """The symbols the archive defines and the ones it leaves undefined."""
    listing = subprocess.run([nm, archive], check=True, capture_output=True, text=True).stdout
    defined, undefined = set(), set()
    for line in listing.splitlines():
        parts = line.split()
        if len(parts) == 2 and parts[0] == 'U':
            undefined.add(parts[1])
        elif len(parts) == 3 and parts[1].isupper() and parts[1] != 'U':
            defined.add(parts[2])
    return defined, undefined - defined


def below(library, links):
    """Every library that `library` links, directly or through others."""
    seen, todo = set(), list(links.get(library, ()))
    while todo:
        other = todo.pop()
        if other not in seen:
            seen.add(other)
            todo.extend(links.get(other, ()))
    return seen


def symbol_failures(nm, archives, links):
    table = {name: symbols(nm, path) for name, path in archives.items()}
    failures = []
    for user, (_, needed) in sorted(table.items()):
        allowed = below(user, links)
        for owner, (defined, _) in sorted(table.items()):
            if owner == user or owner in allowed:
                continue
            used = sorted(needed & defined)
            if used:
                failures.append('%s uses %s of %s, which it does not link' %
                                (user, ', '.join(used[:3]), owner))
    return failures


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.getcwd()
    failures = []
    graph = include_graph(root)
    circle = find_circle(graph)
    if circle:
        steps = ['%s (%s)' % (a, graph[a][b]) for a, b in zip(circle, circle[1:])]
        failures.append('the folders include each other in a circle: ' + ' -> '.join(steps) +
                        ' -> ' + circle[-1])
    layers = link_graph(root)
    for folder, build in sorted(layers.items()):
        library = folder.replace('/', '_')
        if build['libraries'] != [library]:
            failures.append('%s/CMakeLists.txt builds %s, not the one library %s' %
                            (folder, build['libraries'], library))
        included = {target.replace('/', '_') for target in graph.get(folder, {})
                    if target.startswith('runtime/')}
        for missing in sorted(included - build['links']):
            failures.append('%s includes %s but %s does not link it' % (folder, missing, library))
        for extra in sorted(build['links'] - included):
            failures.append('%s links %s but includes nothing of it' % (library, extra))
        for target, path in sorted(graph.get(folder, {}).items()):
            if target.startswith('app'):
                failures.append('%s includes the application (%s)' % (folder, path))
    failures += app_failures(root, graph)
    if len(sys.argv) > 3:
        archives = dict(argument.split('=', 1) for argument in sys.argv[3:])
        links = {folder.replace('/', '_'): build['links'] for folder, build in layers.items()}
        failures += symbol_failures(sys.argv[2], archives, links)
    for line in failures:
        print('FAIL: ' + line)
    if failures:
        return 1
    order = []
    remaining = {node: set(targets) for node, targets in graph.items()}
    while remaining:
        ready = sorted(node for node, targets in remaining.items() if not targets & set(remaining))
        order.extend(ready)
        for node in ready:
            del remaining[node]
    print('one-way order, lowest first: ' + ', '.join(order))
    return 0


if __name__ == '__main__':
    sys.exit(main())
