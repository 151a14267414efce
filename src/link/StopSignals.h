#pragma once

namespace meridial {

// SIGINT, SIGTERM and SIGHUP, caught instead of ending the program on the spot: a program killed
// while it holds the port leaves its lock file behind, and the next user is told that another
// program holds the port. The handler only records the signal and wakes StopSignalFd(); every
// link's waits end as soon as one is recorded, so a running sequence falls through to its end
// and closes the port, and the program then exits with StopExitCode().
//
// SIGPIPE is ignored from then on: a reader of the program's output that goes away must not cut
// a frame short, so the sequence runs to its end and the exit code is the sign's answer.
//
// Install it just before a sequence opens the port: before that the default (ending at once)
// is right, and a program blocked reading its standard input must stay interruptible.
void CatchStopSignals();

// The first signal caught, 0 while none was. Safe from any thread.
int StopSignal();

// 128 + the signal's number, as a shell reports a program the signal ended: 130, 143, 129.
int StopExitCode();

// "SIGINT", "SIGTERM", "SIGHUP".
const char* StopSignalName();

// Readable once a signal was caught, for an event loop's notifier; -1 before CatchStopSignals
// and where the platform has no such descriptor.
int StopSignalFd();

// Empties StopSignalFd() so a level-triggered notifier does not fire again.
void DrainStopSignalFd();

}  // namespace meridial
