#include "candb.h"
