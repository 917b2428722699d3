#include "core/context/CKError.h"

#include "core/context/CKDefines.h"

const char* CKErrorToString(CKERROR error)
{
    switch (error) {
    case CKErr::Ok: return "Operation successful";
    case CKErr::InvalidParameter: return "One of the parameter passed to the function was invalid";
    case CKErr::InvalidParameterType: return "One of the parameter passed to the function was invalid";
    case CKErr::InvalidSize: return "The parameter size was invalid";
    case CKErr::InvalidOperation: return "The operation type does not exist";
    case CKErr::OperationNotImplemented: return "The function used to execute the operation is not yet implemented";
    case CKErr::OutOfMemory: return "There was not enough memory to perform the action";
    case CKErr::NotImplemented: return "The function  is not yet implemented";
    case CKErr::NotFound: return "There was an attempt to remove something not present";
    case CKErr::NoLevel: return "There is no level currently created";
    case CKErr::CannotCreateRenderContext: return "Can not create a rendering context";
    case CKErr::NotificationNotHandled: return "The notification message was not used";
    case CKErr::AlreadyPresent: return "Attempt to add an item that was already present";
    case CKErr::InvalidRenderContext: return "The render context is not valid";
    case CKErr::RenderContextInactive: return "The render context is not activated for rendering";
    case CKErr::NoLoadPlugins: return "There was no plugins to load this kind of file";
    case CKErr::NoSavePlugins: return "There was no plugins to save this kind of file";
    case CKErr::InvalidFile: return "Attempt to load or save an invalid file";
    case CKErr::InvalidPlugin: return "Attempt to load with an invalid plugin";
    case CKErr::NotInitialized: return "Attempt use an object that wasnt initialized";
    case CKErr::InvalidMessage: return "Attempt use a message type that wasn't registred";
    case CKErr::InvalidPrototype: return "Attempt to use an invalid prototype";
    case CKErr::NoDLLFound: return "No dll file was found in the parse directory";
    case CKErr::AlreadyRegisteredDLL: return "This dll has already been registred ";
    case CKErr::InvalidDLL: return "This dll does not contain information to create the prototype";
    case CKErr::InvalidObject: return "Invalid Object (attempt to Get an object from an invalid ID)";
    case CKErr::InvalidConsoleWindow: return "Invalid window was provided as console window ";
    case CKErr::InvalidKinematicChain:
        return "Invalid kinematic chain ( end and start effector may not be part of the same hierarchy )";
    case CKErr::NoKeyboard: return "Keyboard not attached or not working properly";
    case CKErr::NoMouse: return "Mouse not attached or not working properly";
    case CKErr::NoJoystick: return "Joystick not attached or not working properly";
    case CKErr::IncompatibleParameters: return "Try to link imcompatible Parameters";
    case CKErr::NoRenderEngine: return "There is no render engine dll";
    case CKErr::NoCurrentLevel: return "There is no current level (use CKSetCurrentLevel )";
    case CKErr::SoundDisabled: return "Sound Management has been disabled";
    case CKErr::DirectInputDisabled: return "DirectInput Management has been disabled";
    case CKErr::InvalidGUID: return "Guid is already in use or invalid";
    case CKErr::NotEnoughDiskPlace: return "There was no more free space on disk when trying to save file";
    case CKErr::CannotWriteToFile: return "Impossible to write to file (write acces protection ?)";
    case CKErr::BehaviorAddDenied: return "The behavior cannnot be added to this entity";
    case CKErr::IncompatibleClassID: return "The behavior cannnot be added to this entity";
    case CKErr::ManagerAlreadyExists: return "A manager was registered more than once";
    case CKErr::Paused: return "CKprocess or TimeManager process while CK is paused will fail";
    case CKErr::PluginsMissing: return "Missing plugins";
    case CKErr::ObsoleteKeltrane: return "Obslete version: file version newer";
    case CKErr::FileCRCError: return "File CRC Error";
    case CKErr::AlreadyFullscreen: return "A Render context is already in full-screen mode";
    case CKErr::Canceled: return "Operation was cancelled ";
    case CKErr::NoAnimationKey: return "there were no animation key at the given index";
    case CKErr::InvalidIndex: return "attemp to acces an animation key with an invalid index";
    case CKErr::IndexAnimation: return "the animation is invalid (no entity associated or zero length)";
    default: return "Unknown Error";
    }
}
