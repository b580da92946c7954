#include "textio/fields.h"
