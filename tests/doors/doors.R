# The R door of tests/doors: Rscript doors.R R_LIB FOLDER... prints, per
# folder, "ok" and the bits of the correlation matrix and of the p-values
# (missing as -9) as read_run gives them, or "error" and its message.
args <- commandArgs(TRUE)
library(kolva, lib.loc = args[1])

bits <- function(x) {
  raw <- writeBin(as.double(x), raw(), size = 8, endian = "big")
  paste(apply(matrix(as.character(raw), nrow = 8), 2, paste, collapse = ""), collapse = " ")
}

for (folder in args[-1]) {
  line <- tryCatch({
    run <- suppressWarnings(read_run(folder))
    p <- run$p
    p[is.na(p)] <- -9
    # Row-major, as Python gives it.
    sprintf("ok %s | %s", bits(t(run$corr)), bits(t(p)))
  }, error = function(e) paste("error", conditionMessage(e)))
  cat(line, "\n", sep = "")
}
