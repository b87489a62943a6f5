// qvprefaild: turns a source of correctable errors that repeats too often into a
// predictive-failure event.
#include "prefaild_service.h"

int main() { return runPrefailService(); }
