// The program is its run driver; everything else lives in the library.
#include "run/driver.h"

int main(int argc, char** argv) { return morva_main(argc, argv); }
