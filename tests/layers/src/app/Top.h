// The program on its base, as it should be.
#include "platform/Own.h"
