#pragma once

// Makes SIGTERM, SIGINT and SIGHUP (a logout, Ctrl-C, kill) end the event
// loop instead of the process, so that running clients are ended and their
// password files removed as at a normal close. Call once the application exists.
void quitOnTerminationSignals();
