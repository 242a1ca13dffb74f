#pragma once

// Prepares the standard streams for a run from the command line, before anything is printed.
// On Windows the program is a window program, which starts without a console: a run from a
// console borrows the one it was started from for what it prints (output that the caller
// redirected stays redirected), and that console shows the program's UTF-8 text. Elsewhere the
// streams are ready as they are.
void prepareConsole();

// What the program has used so far, for the start-up measurement (bench/whole_startup.sh): the
// processor time in milliseconds and the peak of its memory in KiB (resident set on Linux,
// working set on Windows; 0 where the system does not tell).
struct ProcessUsage
{
    long long processorMs = 0;
    long long peakKiB = 0;
};
ProcessUsage processUsage();
