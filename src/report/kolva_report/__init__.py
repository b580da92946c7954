"""kolva-report: a table, statistics, plots and a page from a Kolva result file."""
