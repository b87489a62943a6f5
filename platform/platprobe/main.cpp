#include "platprobe.h"

int main(int argc, char** argv) { return RunPlatprobe(argc, argv); }
