#include "GbTransform.h"
