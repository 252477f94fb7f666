#include "caseconv/caseconv.h"

// Placeholder: the conversion rules land with the case-conversion work.
