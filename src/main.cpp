// kolva: combined association p-values over correlated phenotypes.
// The whole run lives in the driver; this is only the entry point.
#include "driver/run.h"

int main(int argc, char** argv) { return kolva::run_process(argc, argv); }
