#pragma once

#include "core/parameter/CKParameter.h"
#include "includes/XArray.h"

// A parameter written by its owner (a behaviour or a parameter operation)
// that pushes every change of its value to its destinations, in the order
// they were added. The result of an operation computes itself when it is read
// with the update flag.
class CKParameterOut : public CKClass<CKParameterOut, CKParameter, CKCID_PARAMETEROUT>
{
public:
    explicit CKParameterOut(CKContext* context, const char* name = nullptr);

    CKERROR GetValue(void* buffer, CKBOOL update = TRUE) override;
    // Then DataChanged.
    CKERROR SetValue(const void* buffer, int size = 0) override;
    CKERROR CopyValue(CKParameter* source, CKBOOL updateSource = TRUE) override;
    void* GetReadDataPtr(CKBOOL update = TRUE) override;
    int GetStringValue(char* buffer, int bufferSize, CKBOOL update = TRUE) override;

    // -1 for null or a parameter whose destinations lead back here (any
    // length of chain, itself included); -40 for a myself local, or with
    // checkType for an incompatible type; -17 when already a destination.
    CKERROR AddDestination(CKParameter* param, CKBOOL checkType = TRUE);
    int GetDestinationCount() const { return m_Destinations.Size(); }
    // Null outside the list.
    CKParameter* GetDestination(int index) const
    {
        return index >= 0 && index < m_Destinations.Size() ? m_Destinations[index] : nullptr;
    }
    // Every destination copies the value, in order.
    void DataChanged();

    void PreSave(CKFile* file, CKDWORD flags) override;
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    // Leaves the lists of the behaviours above the owner, and its operation.
    void PreDelete() override;
    // Drops destinations that are being deleted.
    void CheckPreDeletion() override;
    int GetMemoryOccupation() override;
    CKBOOL IsObjectUsed(CKObject* object, CK_CLASSID cid) override;
    CKERROR RemapDependencies(CKDependenciesContext& context) override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;

    static void Register();
    static const char* GetClassName();

private:
    // True when this output can be reached from param through destinations.
    CKBOOL Reaches(CKParameter* param) const;

    XArray<CKParameter*> m_Destinations;
};
