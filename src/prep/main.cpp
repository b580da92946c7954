// kolva-prep: summary-statistics files to a kolva run directory.
#include <exception>
#include <iostream>

#include "prep/error.h"
#include "prep/options.h"
#include "prep/run.h"

namespace {

// Every message of a run that ends early goes out here, in one line.
int fail(const std::string& what, int status) {
  std::cerr << "kolva-prep: " << what << "\n";
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kolva::prep;
  try {
    const Options o = parse_options(argc, argv);
    if (o.help) {
      std::cout << usage_text();
      return 0;
    }
    if (o.version) {
      std::cout << "kolva-prep " << KOLVA_VERSION << "\n";
      return 0;
    }
    std::string command = "kolva-prep";
    for (int i = 1; i < argc; ++i) command += std::string(" ") + argv[i];
    run(o, command);
    return 0;
  } catch (const UsageError& e) {
    return fail(std::string(e.what()) + " (kolva-prep --help for usage)", kUsageStatus);
  } catch (const std::exception& e) {
    // A stop on an input or output problem (StopError), or the system's
    // refusal of memory or threads.
    return fail(e.what(), kStopStatus);
  }
}
