#include "shadeview/scripts/scripts.h"
