#pragma once

#include <QProcessEnvironment>

// The environment of the waited clients (checks and RAID re-checks).
//
// plink and pscp gather start-up entropy by running "ps -axu" and
// "ls -al /tmp" through sh after reading /dev/urandom. ps reads every process
// of the machine, so with dozens of clients at once that one step costs more
// CPU than the whole refused or short check (about half of a refused check's
// time when alone, growing with the clients running) and takes the cores
// from the window. Here both names lead to true(1) in a private folder put
// first on PATH: /dev/urandom still seeds the client, every other program
// (a proxy command of a saved session, say) is found as before.
namespace ClientEnvironment
{

// The system environment with that folder first on PATH; the system
// environment as it is when the folder cannot be made.
QProcessEnvironment waitedClients();

// The folder, empty when it could not be made: "vemo-quiet" in
// XDG_RUNTIME_DIR, kept from run to run, or without one a temporary folder
// removed at exit.
QString quietFolder();

} // namespace ClientEnvironment
