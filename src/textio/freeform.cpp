#include "textio/freeform.h"
