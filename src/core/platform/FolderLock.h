#pragma once

#include <QString>

// One monitor per working folder: two copies there would read and delete each
// other's temp files. The lock is the kernel's (flock) on the folder itself,
// so it needs no file of its own, works in a folder the user may not write,
// and goes with its holder however that ends; a copy that died leaves nothing
// to clear away. Other programs that share the folder (the headless checker)
// neither take it nor wait for it.
//
// Takes the lock for the rest of the program's life and returns an empty
// text, or returns why it is not taken: another copy holds it (the message
// names the folder and, when the system tells, that copy's process id). When
// the folder cannot be locked at all (no read access, a file system without
// locks), the program runs unguarded, as before.
QString takeWorkingFolderLock();
