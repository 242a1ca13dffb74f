#pragma once

// Prepares the standard streams for a run from the command line, before anything is printed.
// On Windows the program is a window program, which starts without a console: a run from a
// console borrows the one it was started from for what it prints (output that the caller
// redirected stays redirected), and that console shows the program's UTF-8 text. Elsewhere the
// streams are ready as they are.
void prepareConsole();
