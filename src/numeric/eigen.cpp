#include "numeric/eigen.h"
