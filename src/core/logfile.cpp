#include "logfile.h"
