"""The report's defaults, named once (the command line, the analysis and the
page take them from here)."""
NULL_DRAWS = 100_000   # null variants drawn for lambda_method
SEED = 1               # seed of the draws
THRESHOLD = 5e-8       # significance of a combined p
WINDOW = 500_000       # half-width of a locus around its lead, in bases
