"""Skips an end-to-end test, with the reason, when a program it drives is not installed."""
import shutil
import sys

# CTest counts a test that ends with this code as skipped (SKIP_RETURN_CODE in CMakeLists.txt).
SKIP = 77


def require(*programs):
    missing = [p for p in programs if shutil.which(p) is None]
    if missing:
        print(f"skipped: {', '.join(missing)} not installed")
        sys.exit(SKIP)
