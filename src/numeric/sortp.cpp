#include "numeric/sortp.h"
