#pragma once

class QxThread;

// Prepares the system library: processor detection, the floating-point
// control word, the global critical section, the math constants and tables,
// the blitter, the main thread "QRKMAINTHREAD" and the log source "QxMath"
// with its file listener "QxMath" (QxMath.log) and the debug-output listener
// "OUTPUTDEBUG LISTENER". May run again after QxShutDown.
void QxStartUp();

// Undoes QxStartUp: returns every process-wide state of the library to what a
// fresh process has (QxResetGlobals): the main thread object, the thread
// registry, the log manager with its listeners, the library's log source and
// the caches of the memory manager, the blitter, the quantizer, the console
// and the text faces.
void QxShutDown();

// The thread that ran QxStartUp, or null outside start-up and shut-down.
QxThread* QxGetMainThread();
// Deletes the main thread object (its destructor leaves the registry).
void QxDeleteMainThread();
