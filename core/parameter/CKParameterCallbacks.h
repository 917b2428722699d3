#pragma once

#include "core/parameter/CKParameterTypeDesc.h"

// The value callbacks of the engine's own parameter types, and of the
// enumerations, flags and structures registered at run time.

// Copies (destination, source).

// The destination's 32-bit value becomes the source's first word.
void CKCopy4ByteValue(CKParameter* dest, CKParameter* src);
// The destination's size in bytes (at most the source's) from the source.
void CKCopyFixedValue(CKParameter* dest, CKParameter* src);
// SetValue of the source's bytes and size.
void CKCopyGenericValue(CKParameter* dest, CKParameter* src);
// A 4-byte source (a Float) sets only the first float; else as the fixed copy.
void CKCopySliderValue(CKParameter* dest, CKParameter* src);
void CKCopyNoValue(CKParameter* dest, CKParameter* src);
// Through a temporary chunk: the source type's save, the destination type's load.
void CKCopyValueBySaveLoad(CKParameter* dest, CKParameter* src);

// Values that own an object: a pointer held as the value. Creation answers
// -6 when the object cannot be made.

// "Copy Dependencies" ... "Save Dependencies": a CKDependencies record,
// first the default record of the type's mode.
CKERROR CKCreateDependenciesValue(CKParameter* param);
void CKDestroyDependenciesValue(CKParameter* param);
void CKSaveLoadDependenciesValue(CKParameter* param, CKStateChunk** chunk, CKBOOL load);
void CKCopyDependenciesValue(CKParameter* dest, CKParameter* src);
// "Collection": an XObjectArray; the check clears ids of deleted objects.
CKERROR CKCreateCollectionValue(CKParameter* param);
void CKDestroyCollectionValue(CKParameter* param);
void CKSaveLoadCollectionValue(CKParameter* param, CKStateChunk** chunk, CKBOOL load);
void CKCopyCollectionValue(CKParameter* dest, CKParameter* src);
void CKCheckCollectionValue(CKParameter* param);
// "2D Curve": a CK2dCurve.
CKERROR CKCreateCurveValue(CKParameter* param);
void CKDestroyCurveValue(CKParameter* param);
void CKSaveLoadCurveValue(CKParameter* param, CKStateChunk** chunk, CKBOOL load);
void CKCopyCurveValue(CKParameter* dest, CKParameter* src);
// "State Chunk": a CKStateChunk.
CKERROR CKCreateChunkValue(CKParameter* param);
void CKDestroyChunkValue(CKParameter* param);
void CKSaveLoadChunkValue(CKParameter* param, CKStateChunk** chunk, CKBOOL load);
void CKCopyChunkValue(CKParameter* dest, CKParameter* src);
// Structures: the value is the ids of one output parameter per member. -1
// from the creation for a type without structure record.
CKERROR CKCreateStructValue(CKParameter* param);
void CKDestroyStructValue(CKParameter* param);
void CKSaveLoadStructValue(CKParameter* param, CKStateChunk** chunk, CKBOOL load);
void CKCopyStructValue(CKParameter* dest, CKParameter* src);

// The rest.

// The identity matrix.
CKERROR CKCreateMatrixValue(CKParameter* param);
// "Pointer" values are never saved.
void CKSaveLoadPointerValue(CKParameter* param, CKStateChunk** chunk, CKBOOL load);
// Object ids of deleted objects become 0.
void CKCheckObjectValue(CKParameter* param);
// "Registered Parameter": its enumeration is brought up to date, the value is 23.
CKERROR CKCreateParameterTypeValue(CKParameter* param);

// Text forms (the text callback's contract, CK_PARAMETERSTRINGFUNCTION).
// Numbers are written and read in the C locale.
int CKIntegerText(CKParameter* param, char* text, int size, CKBOOL read);
int CKFloatText(CKParameter* param, char* text, int size, CKBOOL read);
int CKAngleText(CKParameter* param, char* text, int size, CKBOOL read);
int CKEulerAnglesText(CKParameter* param, char* text, int size, CKBOOL read);
int CKPercentageText(CKParameter* param, char* text, int size, CKBOOL read);
int CKFloatSliderText(CKParameter* param, char* text, int size, CKBOOL read);
int CKTimeText(CKParameter* param, char* text, int size, CKBOOL read);
int CKBooleanText(CKParameter* param, char* text, int size, CKBOOL read);
int CKVectorText(CKParameter* param, char* text, int size, CKBOOL read);
int CKVector2DText(CKParameter* param, char* text, int size, CKBOOL read);
// Quaternion and Vector 4D.
int CKFourFloatsText(CKParameter* param, char* text, int size, CKBOOL read);
int CKRectangleText(CKParameter* param, char* text, int size, CKBOOL read);
int CKBoxText(CKParameter* param, char* text, int size, CKBOOL read);
int CKMatrixText(CKParameter* param, char* text, int size, CKBOOL read);
int CKColorText(CKParameter* param, char* text, int size, CKBOOL read);
// String and the shader name types.
int CKStringText(CKParameter* param, char* text, int size, CKBOOL read);
int CKCollectionText(CKParameter* param, char* text, int size, CKBOOL read);
// Every class type and "Script": the object's name.
int CKObjectText(CKParameter* param, char* text, int size, CKBOOL read);
int CKMessageText(CKParameter* param, char* text, int size, CKBOOL read);
int CKAttributeText(CKParameter* param, char* text, int size, CKBOOL read);
int CKEnumText(CKParameter* param, char* text, int size, CKBOOL read);
int CKFlagsText(CKParameter* param, char* text, int size, CKBOOL read);
int CKStructText(CKParameter* param, char* text, int size, CKBOOL read);
