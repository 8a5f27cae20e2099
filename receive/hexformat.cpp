#include "receive/hexformat.h"
