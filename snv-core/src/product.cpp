#include "product.h"
