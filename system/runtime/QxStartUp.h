#pragma once

class QxThread;

// Prepares the system library: processor detection, the floating-point
// control word, the global critical section, the math constants and tables,
// the blitter, the main thread "QRKMAINTHREAD" and the log source "QxMath"
// with its file listener "QxMath" (QxMath.log) and the debug-output listener
// "OUTPUTDEBUG LISTENER". May run again after QxShutDown.
void QxStartUp();

// Undoes QxStartUp: deletes the main thread object (leaving the registry) and
// the log manager with its listeners, and forgets the library's log source.
void QxShutDown();

// The thread that ran QxStartUp, or null outside start-up and shut-down.
QxThread* QxGetMainThread();
