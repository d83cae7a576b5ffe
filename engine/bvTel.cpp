#include "engine/bvTel.h"
