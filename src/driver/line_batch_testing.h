// Test hooks of the batches of the variant pass.
#pragma once

#include "driver/line_batch.h"

namespace kolva {

// Lines per batch for nvara phenotypes when one batch is in flight.
inline int batch_lines(int nvara) { return batch_bounds(nvara, 1).lines; }

}  // namespace kolva
