#include "app/Console.h"

void prepareConsole() {}
