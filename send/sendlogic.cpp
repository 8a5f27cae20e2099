#include "send/sendlogic.h"
