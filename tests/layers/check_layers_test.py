#!/usr/bin/env python3
"""The layer check on small made-up trees: each case must give exactly the faults named."""
import os
import subprocess
import sys
import tempfile

CHECK = os.path.join(os.path.dirname(os.path.abspath(__file__)), "check_layers.py")

# (case, {file: text}, words every expected fault line carries, one list a fault)
CASES = [
    ("downward includes pass",
     {"halvex/streams/a.cpp": '#include "halvex/tracking/b.h"\n#include "common/c.h"\n',
      "halvex/tracking/b.h": "", "common/c.h": ""},
     []),
    ("upward include",
     {"halvex/tracking/b.cpp": '#include "halvex/view/v.h"\n', "halvex/view/v.h": ""},
     [["halvex/tracking/b.cpp:1", "higher layer halvex/view"]]),
    ("cycle between folders",
     {"halvex/net/n.h": '#include "halvex/config/c.h"\n',
      "halvex/config/c.h": '#include "halvex/net/n.h"\n'},
     [["halvex/config includes halvex/net/n.h"], ["halvex/config <-> halvex/net"]]),
    ("toolkit in the model",
     {"halvex/engine/e.cpp": "#include <FL/Fl.H>\n#include <GL/gl.h>\n",
      "halvex/view/v.cpp": "#include <FL/Fl.H>\n"},
     [["halvex/engine/e.cpp:1", "<FL/Fl.H>"], ["halvex/engine/e.cpp:2", "<GL/gl.h>"]]),
    ("folder without a place",
     {"halvex/extra/x.cpp": ""},
     [["halvex/extra/x.cpp", "no place"]]),
    ("relative include",
     {"dunmore/d.cpp": '#include "../halvex/app/a.h"\n', "halvex/app/a.h": ""},
     []),
    ("tools above the tracker",
     {"halvex/streams/s.cpp": '#include "tools/t.h"\n', "tools/t.h": ""},
     [["halvex/streams/s.cpp:1", "higher layer tools"]]),
]


def run(files):
    with tempfile.TemporaryDirectory() as repo:
        for path, text in files.items():
            os.makedirs(os.path.join(repo, os.path.dirname(path)), exist_ok=True)
            with open(os.path.join(repo, path), "w") as out:
                out.write(text)
        result = subprocess.run([sys.executable, CHECK, repo], capture_output=True, text=True)
        lines = result.stdout.splitlines()[:-1]
        return result.returncode, lines


def link_faults(display_in):
    """Faults of the link check on a made-up Ninja build whose `display_in` library links the
    toolkit and whose other model libraries link only model libraries."""
    sys.path.insert(0, os.path.dirname(CHECK))
    import check_layers
    with tempfile.TemporaryDirectory() as build:
        rules = []
        for library in check_layers.MODEL_LIBRARIES:
            extra = " /usr/lib/libfltk.a -lX11" if library == display_in else ""
            rules.append(f"build link_check/{library}_link_check: CXX_EXECUTABLE_LINKER x.o\n"
                         f"  LINK_LIBRARIES = libcommon_core.a{extra}\n")
        with open(os.path.join(build, "build.ninja"), "w") as out:
            out.write("\n".join(rules))
        return check_layers.check_links(build)


def main():
    failed = 0
    for display_in, expected in (("", 0), ("halvex_streams", 1)):
        faults = link_faults(display_in)
        if len(faults) != expected or any(display_in not in fault for fault in faults):
            failed += 1
            print(f"FAIL link check with a display library in {display_in or 'none'}: {faults}")
    for name, files, expected in CASES:
        code, lines = run(files)
        good = code == (1 if expected else 0) and len(lines) == len(expected) and all(
            any(all(word in line for word in words) for line in lines) for words in expected)
        if not good:
            failed += 1
            print(f"FAIL {name}: exit {code}, output {lines}")
    print(f"{len(CASES) + 2 - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
