#include "card_service.h"

int main() { return runCardService(); }
