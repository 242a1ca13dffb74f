#include "cli/Console.h"

void prepareConsole() {}
