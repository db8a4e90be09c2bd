"""A plain progress bar for local work: one line redrawn in place."""

import sys
import time


def wanted(progress):
    """Whether to show progress: as asked, else on a terminal or in a notebook."""
    if progress is not None:
        return bool(progress)
    return sys.stderr.isatty() or "ipykernel" in sys.modules


class Progress:
    """`label: [#####.....] done/total  elapsed` on `stream`, redrawn with a carriage return."""

    def __init__(self, total, label, *, enabled=True, stream=None, width=30):
        self.total, self.label, self.enabled, self.width = total, label, enabled, width
        self.stream = stream or sys.stderr
        self.done = 0
        self.start = time.monotonic()
        self._draw()

    def _draw(self):
        if not self.enabled:
            return
        filled = self.width * self.done // max(self.total, 1)
        bar = "#" * filled + "." * (self.width - filled)
        elapsed = time.monotonic() - self.start
        self.stream.write(f"\r{self.label}: [{bar}] {self.done}/{self.total} runs  {elapsed:.0f} s")
        self.stream.flush()

    def update(self, n=1):
        self.done += n
        self._draw()

    def close(self):
        if self.enabled:
            self.stream.write("\n")
            self.stream.flush()
