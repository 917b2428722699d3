#include "system/runtime/QxStartUp.h"

#include "platform/PlatformCpu.h"
#include "system/image/QxBlitter.h"
#include "system/log/QxLibraryLog.h"
#include "system/log/QxLogListener.h"
#include "system/log/QxLogManager.h"
#include "system/math/QxMathConstants.h"
#include "system/runtime/QxFpu.h"
#include "system/runtime/QxGlobalLock.h"
#include "system/runtime/QxGlobals.h"
#include "system/runtime/QxProcessor.h"
#include "system/runtime/QxThread.h"

namespace {
QxThread* g_MainThread = nullptr;
} // namespace

void QxStartUp()
{
    QxDetectProcessor();
    QxInitMathConstants();
    QxSetupFPU();
    // The global critical section is made on first use; taking it here makes
    // it exist before anything can race for it.
    QxGetGlobalCriticalSection();
    // The identity matrix is a compile-time constant: nothing to fill.
    QxInitBlitter();
    // The angle tables fill themselves on first use: a program that never
    // reads them (most exports) does not pay for their 16,384 sines and arc
    // sines at every start.

    if (!g_MainThread) {
        QxThread* thread = new QxThread;
        thread->SetName("QRKMAINTHREAD");
        thread->SetHandle(PlatformGetCurrentThreadHandle());
        thread->SetId(PlatformGetCurrentThreadId());
        thread->SetFlags(QX_THREAD_MAIN | QX_THREAD_NAME_LOCKED);
        g_MainThread = thread;
        QxGetThreadTable().Insert(thread->GetHandle(), thread);
    }

    QxLogManager* log = QxGetLogManager();
    int source = log->RegisterSource("QxMath");
    QxSetLibraryLogSource(source);
    if (QxLogListener* file = log->CreateListener(QXLOG_FILE_LISTENER_GUID, "QxMath", source)) {
        file->SetLevelMask(31);
        file->SetFlags(0);
        file->SetTimeFormat(3);
    }
    log->CreateListener(QXLOG_OUTPUTDEBUG_LISTENER_GUID, "OUTPUTDEBUG LISTENER", source);
}

void QxShutDown()
{
    QxResetGlobals();
}

void QxDeleteMainThread()
{
    delete g_MainThread;
    g_MainThread = nullptr;
}

QxThread* QxGetMainThread()
{
    return g_MainThread;
}
