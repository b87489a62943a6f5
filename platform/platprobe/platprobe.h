// platprobe: reads the model code from BIOS memory, reports it, and stores it in the registry.
#pragma once

#include <cstdio>
#include <string>

// The line of the model file that names `code`, with its line feed; empty when none does.
// `found` tells whether the file could be opened.
std::string FindModelLine(const std::string& modelFile, unsigned long code, bool* found);

int RunPlatprobe(int argc, char** argv);
