#pragma once

// Makes SIGTERM, SIGINT and SIGHUP (a logout, Ctrl-C, kill) end the event
// loop instead of the process, so that running clients are ended and their
// password files removed as at a normal close. Call once the application exists.
void quitOnTerminationSignals();

// True once such a signal arrived. It also ends a message box's own loop, so
// a caller that goes on after a box asks this before it starts anything.
bool terminationRequested();
