#include "two/Other.h"
