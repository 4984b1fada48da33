#include "BbVector.h"
