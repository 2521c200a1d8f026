#include "helpers/version/Version.h"

const char* QuarrowVersion() { return QUARROW_VERSION; }
