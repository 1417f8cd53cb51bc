#!/usr/bin/env python3
"""Fails on every #include "..." that points against the layering.

The layers, lowest first: foundation, imaging, viewer (with resources),
redlining, printing, and on top the two shells, program and control, which
never include each other. A layer includes only its own and lower ones.
Inside the viewer, core (context, hub, settings, command line), the page
model and the documents stay below the windows that show them; the
composition root (app) may include everything of the viewer, but its headers,
which the lower folders include for the root's members, may not include the
windows; the contracts the layers above implement stand on core and the model.
Tests, benchmarks and tools may include anything.

Before judging the tree the check is run on a small tree of its own with one
fault of each kind, so a checker that sees nothing fails too.
"""
import os
import re
import sys
import tempfile

LAYERS = {
    "foundation": 0,
    "imaging": 1,
    "viewer": 2,
    "resources": 2,
    "redlining": 3,
    "printing": 4,
    "program": 5,
    "control": 5,
}

# Folders of the viewer and the viewer folders they must not include.
VIEWER_FORBIDDEN = {
    "core": {"dialogs", "views", "windows"},
    "model": {"app", "dialogs", "documents", "views", "windows", "dde", "export", "extensions"},
    "contracts": {"app", "dialogs", "documents", "views", "windows", "dde", "export", "extensions"},
    "documents": {"dialogs", "views", "windows"},
}
# The composition root's headers, which core and the documents include for
# the root's members, name the windows only by forward declaration.
VIEWER_HEADER_FORBIDDEN = {
    "app": {"dialogs", "views", "windows"},
}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)
SOURCE_ENDINGS = (".h", ".hpp", ".c", ".cpp", ".rc")


def arrow_fault(source, target):
    """Why `source` (a path in the tree) may not include `target`, or None."""
    source_parts = source.split("/")
    target_parts = target.split("/")
    source_layer = source_parts[0]
    target_layer = target_parts[0]
    if target_layer not in LAYERS or len(target_parts) < 2:
        return None  # a system header, a generated file or a sibling
    if LAYERS[target_layer] > LAYERS[source_layer]:
        return f"{source_layer} lies below {target_layer}"
    if LAYERS[target_layer] == LAYERS[source_layer] and source_layer != target_layer:
        if {source_layer, target_layer} == {"program", "control"}:
            return "the two shells never include each other"
    if source_layer == "viewer" and target_layer == "viewer" and len(source_parts) > 2:
        forbidden = set(VIEWER_FORBIDDEN.get(source_parts[1], set()))
        if source.endswith((".h", ".hpp")):
            forbidden |= VIEWER_HEADER_FORBIDDEN.get(source_parts[1], set())
        if len(target_parts) > 2 and target_parts[1] in forbidden:
            return f"viewer/{source_parts[1]} lies below viewer/{target_parts[1]}"
    return None


def faults(root):
    found = []
    for layer in LAYERS:
        top = os.path.join(root, layer)
        for folder, _, names in os.walk(top):
            for name in sorted(names):
                if not name.endswith(SOURCE_ENDINGS):
                    continue
                path = os.path.join(folder, name)
                relative = os.path.relpath(path, root).replace(os.sep, "/")
                with open(path, encoding="utf-8", errors="replace") as handle:
                    text = handle.read()
                for match in INCLUDE.finditer(text):
                    why = arrow_fault(relative, match.group(1))
                    if why:
                        line = text.count("\n", 0, match.start()) + 1
                        found.append(f'{relative}:{line}: includes "{match.group(1)}": {why}')
    return sorted(found)


def self_check():
    """The checker finds each kind of fault in a tree made for it, and
    accepts the arrows the layering allows."""
    tree = {
        "foundation/a.h": '#include "imaging/b.h"\n#include <windows.h>\n',
        "imaging/b.h": '#include "foundation/a.h"\n',
        "viewer/core/c.cpp": '#include "viewer/windows/w.h"\n#include "viewer/documents/d.h"\n',
        "viewer/model/m.h": '#include "viewer/views/v.h"\n#include "viewer/core/c.h"\n',
        "viewer/documents/d.h": '#include "viewer/model/m.h"\n  #  include "viewer/dialogs/x.h"\n',
        "viewer/views/v.h": '#include "redlining/r.h"\n#include "resources/text_ids.h"\n',
        "viewer/app/root.h": '#include "viewer/core/c.h"\n#include "viewer/windows/w.h"\n',
        "viewer/app/root.cpp": '#include "viewer/windows/w.h"\n',
        "redlining/r.cpp": '#include "viewer/views/v.h"\n#include "printing/p.h"\n',
        "printing/p.cpp": '#include "redlining/r.h"\n',
        "program/s.cpp": '#include "control/k.h"\n#include "printing/p.h"\n#include "text_ids.h"\n',
    }
    expected = [
        'foundation/a.h:1: includes "imaging/b.h": foundation lies below imaging',
        'program/s.cpp:1: includes "control/k.h": the two shells never include each other',
        'redlining/r.cpp:2: includes "printing/p.h": redlining lies below printing',
        'viewer/app/root.h:2: includes "viewer/windows/w.h": viewer/app lies below viewer/windows',
        'viewer/core/c.cpp:1: includes "viewer/windows/w.h": viewer/core lies below viewer/windows',
        'viewer/documents/d.h:2: includes "viewer/dialogs/x.h": viewer/documents lies below viewer/dialogs',
        'viewer/model/m.h:1: includes "viewer/views/v.h": viewer/model lies below viewer/views',
        'viewer/views/v.h:1: includes "redlining/r.h": viewer lies below redlining',
    ]
    with tempfile.TemporaryDirectory() as root:
        for relative, text in tree.items():
            path = os.path.join(root, relative)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w", encoding="utf-8") as handle:
                handle.write(text)
        got = faults(root)
    if got != expected:
        print("the layering check itself is wrong; it found:")
        print("\n".join(got) or "(nothing)")
        return False
    return True


def main():
    if not self_check():
        return 1
    root = os.environ.get("TEST_SOURCE_DIR") or os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    if not os.path.isdir(os.path.join(root, "viewer")):
        print(f"no source tree at {root}")
        return 1
    found = faults(root)
    for fault in found:
        print(fault)
    if found:
        print(f"{len(found)} include(s) against the layering")
        return 1
    print("every include follows the layering")
    return 0


if __name__ == "__main__":
    sys.exit(main())
