#include "qvregtool.h"

int main(int argc, char** argv) { return RunQvregtool(argc, argv); }
