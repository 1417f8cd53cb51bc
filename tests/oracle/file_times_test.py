#!/usr/bin/env python3
"""File times of a data source are shown in local time: runs the
DataSourceTimes suite under time zones far from UTC (one with a 45-minute
offset, one in its summer time), where a missing conversion shows."""
import os
import subprocess
import sys

binary_dir = os.environ["TEST_BINARY_DIR"]
program = os.path.join(binary_dir, "tests", "foundation_tests.exe")
failures = 0
for zone in ("Pacific/Chatham", "America/New_York", "UTC"):
    env = dict(os.environ, TZ=zone)
    run = subprocess.run(["wine", program, "--gtest_filter=DataSourceTimes.*"], env=env,
                         stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=300)
    if run.returncode != 0:
        failures += 1
        print(f"{zone}: failed\n{run.stdout[-2000:]}")
    else:
        print(f"{zone}: ok")
sys.exit(1 if failures else 0)
