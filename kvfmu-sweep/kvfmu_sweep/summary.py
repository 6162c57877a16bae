"""The sweep's summary table, DIR/summary.csv: one row per finished run.

Rows are appended and flushed as chunks come back, so a sweep that is killed keeps what
finished; at the end the file is replaced whole by the same rows in run order.
"""

import csv
import os


class SummaryWriter:
    def __init__(self, path, parameters, outputs, run_order):
        self.path = path
        self.columns = ["run"] + list(parameters) + ["status", "error", "wall_seconds"] + list(outputs)
        self._order = {run_id: i for i, run_id in enumerate(run_order)}
        self.rows = {}
        self._file = open(path, "w", newline="", encoding="utf-8")
        self._writer = csv.writer(self._file, lineterminator="\n")
        self._writer.writerow(self.columns)
        self._file.flush()

    def add(self, rows):
        """Adds finished runs (a chunk's rows), each once: a run that is already there is
        left as it is. They are on disk when this returns."""
        for row in rows:
            run_id = row["run"]
            if run_id not in self.rows:
                cells = [row.get(column, "") for column in self.columns]
                self.rows[run_id] = cells
                self._writer.writerow(cells)
        self._file.flush()

    def counts(self):
        status = self.columns.index("status")
        ok = sum(1 for cells in self.rows.values() if cells[status] == "ok")
        return ok, len(self.rows) - ok

    def close(self):
        """Rewrites the file in run order."""
        self._file.close()
        partial = self.path + ".part"
        with open(partial, "w", newline="", encoding="utf-8") as f:
            writer = csv.writer(f, lineterminator="\n")
            writer.writerow(self.columns)
            for run_id in sorted(self.rows, key=lambda r: self._order.get(r, len(self._order))):
                writer.writerow(self.rows[run_id])
        os.replace(partial, self.path)
