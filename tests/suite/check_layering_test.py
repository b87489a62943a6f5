#!/usr/bin/env python3
"""The layering check on tiny trees: it passes a sound one and names each planted upward step."""
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_layering  # noqa: E402


def make_tree(top, files):
    for relative, text in files.items():
        path = os.path.join(top, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as f:
            f.write(text)


SOUND = {
    "platform/low/CMakeLists.txt": "add_library(qv_low STATIC low.cpp)\n",
    "platform/low/low.h": "#pragma once\n",
    "platform/low/low.cpp": '#include "low.h"\n',
    "network/high/CMakeLists.txt": "add_library(qv_high STATIC high.cpp)\ntarget_link_libraries(qv_high PUBLIC qv_low)\n",
    "network/high/high.h": '#pragma once\n#include "low.h"\n',
    "network/high/high.cpp": '#include "high.h"\n',
    "network/high/tests/high_test.cpp": '#include "stub.h"\n',   # tests may use anything
    "sim/stub/CMakeLists.txt": "add_library(qvsim_stub STATIC stub.cpp)\ntarget_link_libraries(qvsim_stub PUBLIC qv_low)\n",
    "sim/stub/stub.h": '#pragma once\n#include "low.h"\n',
    "sim/stub/stub.cpp": '#include "stub.h"\n',
}


class LayeringCheck(unittest.TestCase):
    def faults(self, changes):
        with tempfile.TemporaryDirectory() as top:
            make_tree(top, {**SOUND, **changes})
            return check_layering.check(top)

    def test_sound_tree_passes(self):
        self.assertEqual(self.faults({}), [])

    def test_each_planted_step_is_named(self):
        cases = [
            ({"platform/low/low.cpp": '#include "low.h"\n#include "high.h"\n'},
             "platform/low/low.cpp: includes network/high/high.h of a higher floor"),
            ({"platform/low/CMakeLists.txt": "add_library(qv_low STATIC low.cpp)\ntarget_link_libraries(qv_low PRIVATE qv_high)\n"},
             "platform/low/CMakeLists.txt: qv_low links qv_high of a higher floor (network/high/CMakeLists.txt)"),
            ({"network/high/high.cpp": '#include "high.h"\n#include "stub.h"\n'},
             "network/high/high.cpp: includes sim/stub/stub.h from sim/"),
            ({"network/high/CMakeLists.txt": "add_library(qv_high STATIC high.cpp)\ntarget_link_libraries(qv_high PUBLIC qv_low qvsim_stub)\n"},
             "network/high/CMakeLists.txt: qv_high links qvsim_stub from sim/"),
        ]
        for changes, fault in cases:
            with self.subTest(fault=fault):
                self.assertEqual(self.faults(changes), [fault])


if __name__ == "__main__":
    unittest.main()
