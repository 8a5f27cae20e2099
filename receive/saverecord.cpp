#include "receive/saverecord.h"
