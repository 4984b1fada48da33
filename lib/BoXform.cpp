#include "BoXform.h"
