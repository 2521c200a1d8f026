#include "app/QuarrowApp.h"

int main(int argc, char** argv) { return RunQuarrow(argc, argv); }
