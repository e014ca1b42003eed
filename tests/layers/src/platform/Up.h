// The base reaching up into the program.
#include "app/Top.h"
