#include "qvbmccached.h"

int main() { return runCacheService(); }
