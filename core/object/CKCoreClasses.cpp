#include "core/object/CKCoreClasses.h"

#include "core/attribute/CKAttributeManager.h"
#include "core/behavior/CKBehavior.h"
#include "core/behavior/CKBehaviorIO.h"
#include "core/behavior/CKBehaviorLink.h"
#include "core/behavior/CKCriticalSectionObject.h"
#include "core/behavior/CKInterfaceObjectManager.h"
#include "core/behavior/CKStateObject.h"
#include "core/behavior/CKSynchroObject.h"
#include "core/object/CKBeObject.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKObject.h"
#include "core/object/CKSceneObject.h"
#include "core/parameter/CKParameterIn.h"
#include "core/parameter/CKParameterLocal.h"
#include "core/parameter/CKParameterOperation.h"
#include "core/parameter/CKParameterOut.h"
#include "core/parameter/CKParameterVariable.h"
#include "core/scene/CKDataArray.h"
#include "core/scene/CKGroup.h"
#include "core/scene/CKLevel.h"
#include "core/scene/CKScene.h"
#include "core/sound/CKMidiSound.h"
#include "core/sound/CKSound.h"
#include "core/sound/CKWaveSound.h"

void CKRegisterCoreClasses()
{
    CKClassRegisterT<CKObject, CKObject>("CKObject");
    CKClassRegisterT<CKParameterIn, CKObject>("CKParameterIn");
    CKClassRegisterT<CKParameter, CKObject>("CKParameter");
    CKClassRegisterT<CKParameterOut, CKParameter>("CKParameterOut");
    CKClassRegisterT<CKParameterLocal, CKParameter>("CKParameterLocal");
    CKClassRegisterT<CKParameterVariable, CKParameterLocal>("CKParameterVariable");
    CKClassRegisterT<CKParameterOperation, CKObject>("CKParameterOperation");
    CKClassRegisterT<CKBehaviorLink, CKObject>("CKBehaviorLink");
    CKClassRegisterT<CKBehaviorIO, CKObject>("CKBehaviorIO");
    CKClassRegisterT<CKSceneObject, CKObject>("CKSceneObject");
    CKClassRegisterT<CKSynchroObject, CKObject>("CKSynchroObject");
    CKClassRegisterT<CKStateObject, CKObject>("CKStateObject");
    CKClassRegisterT<CKCriticalSectionObject, CKObject>("CKCriticalSectionObject");
    CKClassRegisterT<CKInterfaceObjectManager, CKObject>("CKInterfaceObjectManager");
    CKClassRegisterT<CKBeObject, CKSceneObject>("CKBeObject");
    CKClassRegisterT<CKBehavior, CKSceneObject>("CKBehavior");
    CKClassRegisterT<CKScene, CKBeObject>("CKScene");
    CKClassRegisterT<CKLevel, CKBeObject>("CKLevel");
    CKClassRegisterT<CKGroup, CKBeObject>("CKGroup");
    CKClassRegisterT<CKSound, CKBeObject>("CKSound");
    CKClassRegisterT<CKDataArray, CKBeObject>("CKDataArray");
    CKClassRegisterT<CKWaveSound, CKSound>("CKWaveSound");
    CKClassRegisterT<CKMidiSound, CKSound>("CKMidiSound");

    CKAttributeManager::InstallLinks();
}
