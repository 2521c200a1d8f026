#pragma once

// The program's version text, e.g. "1.2.0".
const char* QuarrowVersion();
