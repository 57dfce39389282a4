#!/usr/bin/env python3
"""Runs scripts/check_layers.py on small trees laid out like the real one, with the real
layer table, and checks its exit status and findings. Each case adds files to a clean
tree (or replaces the table) in a temporary folder."""

from __future__ import annotations

import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
REPOSITORY = os.path.dirname(os.path.dirname(HERE))
SCRIPT = os.path.join(REPOSITORY, "scripts", "check_layers.py")
TABLE = os.path.join(REPOSITORY, "cmake", "layers.txt")

# A tree that keeps every rule: one or two files per layer, each include allowed, plus
# system, Qt and generated includes, and forbidden includes that are commented out.
CLEAN_TREE = {
    "sdk/include/qpu/qpu_types.h": "#pragma once\n#include <cstdint>\n",
    "sdk/include/qpu/app_state.h": '#pragma once\n#include "qpu_types.h"\n',
    "sdk/include/qpu/plugin_sdk/page_base.h": "#pragma once\n#include <qpu/app_state.h>\n",
    "sdk/src/plugin_sdk/page_base.cpp": (
        "#include <qpu/plugin_sdk/page_base.h>\n#include <QFrame>\n"),
    "src/posix/posix/unique_fd.h": "#pragma once\n#include <unistd.h>\n",
    "src/base/platform/profile.h": '#include "posix/unique_fd.h"\n#include <qpu/app_state.h>\n',
    "src/base/lang/texts.h": '#pragma once\n#include "platform/profile.h"\n',
    "src/core/pages/page_logic.h": (
        '#pragma once\n#include "lang/texts.h"\n#include <string>\n'
        '// #include "mainwnd/main_frame.h"\n'
        '/* Not now:\n#include "mainwnd/main_frame.h"\n*/\n'
        "constexpr int big = 1'000; /* a separator, then a comment */\n"),
    "src/core/printers/printer_registry.h": '#pragma once\n#include "pages/page_logic.h"\n',
    "src/widgets/comm/port_edit.h": '#pragma once\n#include "lang/texts.h"\n#include <QWidget>\n',
    "src/gui/mainwnd/main_frame.h": (
        '#pragma once\n#include "comm/port_edit.h"\n#include "printers/printer_registry.h"\n'
        '#include "ui_main_frame.h"\n'),
    "src/gui/mainwnd/main_frame.cpp": '#include "main_frame.h"\n#include "main_frame.moc"\n',
    "src/app/app/main.cpp": '#include "mainwnd/main_frame.h"\n#include <QApplication>\n',
    "qpcomm/text.h": "#pragma once\n#include <qpu/qpu_types.h>\n",
    "qpcomm/text.cpp": '#include "text.h"\n#include "posix/unique_fd.h"\n#include <poll.h>\n',
    "prtinf/session.cpp": "#include <qpu/app_state.h>\n",
    "emulator/printer.cpp": '#include "posix/unique_fd.h"\n',
    "plugins/memory_switch/memory_switch_logic.h": "#pragma once\n",
    "plugins/memory_switch/memory_switch_page.cpp": (
        '#include "memory_switch_logic.h"\n#include <qpu/plugin_sdk/page_base.h>\n'),
    "plugins/print_settings/print_settings_logic.h": "#pragma once\n",
    "sdk/include/qpu/settings/printer_link.h": "#pragma once\n#include <qpu/qpu_types.h>\n",
    "sdk/src/settings/printer_link.cpp": "#include <qpu/settings/printer_link.h>\n",
    "qp60ctl/main.cpp": '#include <qpu/settings/printer_link.h>\n#include "pages/page_logic.h"\n',
}

# name, files added to the clean tree, replacement table (or None), exit status, and one
# fragment for each line of findings expected (no more lines may appear).
CASES = [
    ("clean tree", {}, None, 0,
     ["layers: no findings; 23 files scanned, 24 includes resolved, 17 folders in 15 layers"]),
    ("upward include, after a comment marker in a string",
     {"src/core/pages/upward.cpp": 'const char* pattern = "a/*";\n#include "pages/form_view.h"\n',
      "src/gui/pages/form_view.h": "#pragma once\n"},
     None, 1,
     ['src/core/pages/upward.cpp:2: #include "pages/form_view.h" -> '
      "src/gui/pages/form_view.h: core may not use gui: it points up the layer table"]),
    ("sideways include", {"src/widgets/comm/sideways.cpp": '#include "pages/page_logic.h"\n'},
     None, 1,
     ["src/widgets/comm/sideways.cpp:1: #include \"pages/page_logic.h\" -> "
      "src/core/pages/page_logic.h: widgets may not use core: a sideways include "
      "(widgets may use: base, posix, sdk)"]),
    ("folder cycle through two file pairs",
     {"src/core/pages/a.cpp": '#include "printers/b.h"\n',
      "src/core/printers/b.h": "#pragma once\n",
      "src/core/printers/c.cpp": '\n#include "pages/d.h"\n',
      "src/core/pages/d.h": "#pragma once\n"},
     None, 1,
     ['folder cycle: core/pages -> core/printers -> core/pages (src/core/pages/a.cpp:1 '
      '#include "printers/b.h"; src/core/printers/c.cpp:2 #include "pages/d.h")']),
    ("two files include each other",
     {"src/core/pages/e.h": '#pragma once\n#include "f.h"\n',
      "src/core/pages/f.h": '#pragma once\n#include "pages/e.h"\n'},
     None, 1,
     ['src/core/pages/e.h:2: #include "f.h" and src/core/pages/f.h:2: #include "pages/e.h": '
      "the two files include each other"]),
    ("component includes the utility", {"qpcomm/port.cpp": '#include "platform/profile.h"\n'},
     None, 1,
     ['qpcomm/port.cpp:1: #include "platform/profile.h" -> src/base/platform/profile.h: '
      "qpcomm may not use base: a sideways include"]),
    ("unresolved project include", {"src/core/pages/typo.cpp": '#include "platform/profle.h"\n'},
     None, 1,
     ['src/core/pages/typo.cpp:1: #include "platform/profle.h": resolves to no file of the tree']),
    ("unresolved contract header", {"prtinf/typo.cpp": "#include <qpu/app_stat.h>\n"}, None, 1,
     ["prtinf/typo.cpp:1: #include <qpu/app_stat.h>: resolves to no file of the tree"]),
    ("utility includes the plug-in helper library",
     {"src/core/pages/helper.cpp": "#include <qpu/plugin_sdk/page_base.h>\n"}, None, 1,
     ["src/core/pages/helper.cpp:1: #include <qpu/plugin_sdk/page_base.h> -> "
      "sdk/include/qpu/plugin_sdk/page_base.h: core may not use plugin_sdk"]),
    ("plug-in includes another plug-in",
     {"plugins/memory_switch/borrow.cpp": '#include "../print_settings/print_settings_logic.h"\n'},
     None, 1,
     ["plugins/memory_switch and plugins/print_settings are separate folders of plugins"]),
    ("include leaves the layer folders",
     {"src/core/pages/tool.cpp": '#include "../../../tools/helper.h"\n', "tools/helper.h": ""},
     None, 1, ["-> tools/helper.h: the file lies outside every layer folder"]),
    ("layer folder missing", {}, "sdk sdk/include :\nextra src/extra : sdk\n", 1,
     ["layer extra: folder src/extra does not exist"]),
    ("table names an unknown layer", {}, "sdk sdk/include : posx\n", 2,
     ["layers.txt:1: 'posx' is not a layer of the table"]),
    ("table rules form a cycle", {}, "sdk sdk/include : base\nbase src/base subsystems : sdk\n",
     2, ["the rules form a cycle: base -> sdk -> base"]),
]


def write_tree(root: str, files: dict[str, str]) -> None:
    for path, text in files.items():
        full = os.path.join(root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w", encoding="utf-8") as file:
            file.write(text)


def run_case(name: str, files: dict[str, str], table: str | None, status: int,
             expected: list[str]) -> list[str]:
    """Returns what went wrong in the case; empty when it passed."""
    with tempfile.TemporaryDirectory(prefix="layers-") as root:
        write_tree(root, {**CLEAN_TREE, **files})
        table_path = TABLE
        if table is not None:
            table_path = os.path.join(root, "layers.txt")
            write_tree(root, {"layers.txt": table})
        run = subprocess.run([sys.executable, SCRIPT, root, "--table", table_path],
                             capture_output=True, text=True, timeout=60, check=False)
    lines = [line for line in (run.stdout + run.stderr).splitlines() if line]
    if status == 1:
        lines = [line for line in lines if not line.startswith("layers: ")]
    problems = []
    if run.returncode != status:
        problems.append(f"exit status {run.returncode}, expected {status}")
    if len(lines) != len(expected):
        problems.append(f"{len(lines)} line(s), expected {len(expected)}")
    for fragment in expected:
        if not any(fragment in line for line in lines):
            problems.append(f"no line contains: {fragment}")
    if problems:
        problems.append("output:\n    " + "\n    ".join(lines))
    return problems


def main() -> int:
    failed = 0
    for name, files, table, status, expected in CASES:
        problems = run_case(name, files, table, status, expected)
        print(f"{'FAIL' if problems else 'ok'}  {name}")
        for problem in problems:
            print(f"    {problem}")
        failed += bool(problems)
    print(f"layering self-test: {len(CASES) - failed} of {len(CASES)} cases ok")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
