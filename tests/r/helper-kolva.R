# The package as the build installed it, and generated studies run through
# the kolva program (KOLVA_R_LIB, KOLVA_GEN and KOLVA_BIN from ctest).
library(kolva, lib.loc = Sys.getenv("KOLVA_R_LIB"))

# A study of n phenotypes, run by the program in its folder `dir`: its
# p-values (NA where missing, read exactly), chromosome and id fields as
# written, its full correlation matrix, and per variant the program's count
# present and 15-digit field (NA where it wrote none).
run_study <- function(n, variants, layout = "lower") {
  dir <- tempfile("kolva-r-")
  dir.create(dir)
  args <- c(shQuote(dir), paste0(c("phenotypes=", "variants=", "layout="), c(n, variants, layout)),
            "seed=11", "missing=0.03", "signals=0.01")
  stopifnot(system2(Sys.getenv("KOLVA_GEN"), args) == 0)
  owd <- setwd(dir)
  status <- system2(Sys.getenv("KOLVA_BIN"), stdout = FALSE, stderr = FALSE)
  setwd(owd)
  stopifnot(status == 0)
  fields <- read.table(file.path(dir, "pvals.txt"), colClasses = "character")
  text <- fields[-(1:2)]
  values <- parse_numbers(scan(file.path(dir, "corr.txt"), what = "", quiet = TRUE))
  corr <- matrix(0, n, n)
  if (layout == "full") {
    corr[] <- values
  } else {
    corr[upper.tri(corr, diag = TRUE)] <- values  # row by row below = column by column above
    corr[lower.tri(corr)] <- t(corr)[lower.tri(corr)]
  }
  results <- readLines(file.path(dir, "results.txt"))
  list(dir = dir, p = unname(vapply(text, parse_numbers, numeric(nrow(text)))),
       chrom = fields[[1]], id = fields[[2]], corr = corr,
       present = as.integer(substr(results, 42, 44)),
       field = ifelse(nchar(results) > 60, substr(results, 46, 65), NA_character_))
}

# The program's field for a combined p-value: .DDDDDDDDDDDDDDDE+XX, or
# .DDDDDDDDDDDDDDD+XXX past an exponent of 99.
field <- function(x) {
  s <- sprintf("%.14e", x)
  e <- as.integer(substring(s, 18)) + 1L
  sprintf(ifelse(abs(e) <= 99, ".%s%sE%+03d", ".%s%s%+04d"), substr(s, 1, 1), substr(s, 3, 16), e)
}
