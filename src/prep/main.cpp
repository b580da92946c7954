// kolva-prep: summary-statistics files to a kolva run directory.
#include <iostream>

#include "prep/error.h"
#include "prep/options.h"
#include "prep/run.h"

int main(int argc, char** argv) {
  using namespace kolva::prep;
  Options o;
  try {
    o = parse_options(argc, argv);
  } catch (const UsageError& e) {
    std::cerr << "kolva-prep: " << e.what() << " (kolva-prep --help for usage)\n";
    return 64;
  }
  if (o.help) {
    std::cout << kUsage;
    return 0;
  }
  if (o.version) {
    std::cout << "kolva-prep " << KOLVA_VERSION << "\n";
    return 0;
  }
  std::string command = "kolva-prep";
  for (int i = 1; i < argc; ++i) command += std::string(" ") + argv[i];
  try {
    run(o, command);
  } catch (const StopError& e) {
    std::cerr << "kolva-prep: " << e.what() << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "kolva-prep: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
