#include "configrecord.h"
