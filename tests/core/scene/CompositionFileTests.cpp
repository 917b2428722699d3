// A composition holding every kind of scene content, behaviour and typed
// value saves, loads into a fresh context and saves again; that file loads
// and saves to the same bytes (saved ids follow the context that saves, so
// the first file is not compared byte for byte).

#include <string>

#include <gtest/gtest.h>

#include "core/attribute/CKAttributeManager.h"
#include "core/behavior/CKBehaviorIO.h"
#include "core/behavior/CKMessageManager.h"
#include "core/behavior/CKSynchroObject.h"
#include "core/file/CKFile.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterIn.h"
#include "core/parameter/CKParameterLocal.h"
#include "core/parameter/CKParameterManager.h"
#include "core/parameter/CKParameterOperation.h"
#include "core/parameter/CKParameterOut.h"
#include "core/scene/CKDataArray.h"
#include "core/sound/CKMidiSound.h"
#include "core/sound/CKWaveSound.h"
#include "tests/core/scene/SceneTestSupport.h"
#include "tests/support/TestPaths.h"

namespace {

constexpr CKGUID kMood(0x6D6F6F64, 0x11);

class CompositionTest : public SceneFixture
{
protected:
    template <class T>
    T* Make(CK_CLASSID cid, const char* name)
    {
        return static_cast<T*>(m_Context->CreateObject(cid, name));
    }

    void Build()
    {
        CKParameterManager* parameters = m_Context->GetParameterManager();
        parameters->RegisterNewEnum(kMood, "Mood", "Calm=1,Angry=4");
        // As a file would have declared it, so that files carry it.
        parameters->GetParameterTypeDescription(kMood)->Flags |= CKPARAMETERTYPE_USER;
        const int health = m_Context->GetAttributeManager()->RegisterNewAttributeType("Health", CKPGUID_INT);
        m_Context->GetMessageManager()->AddMessageType("Alarm");

        CKLevel* level = NewLevel("Level");
        for (const char* name : {"Intro", "Battle"})
            level->AddScene(NewScene(name));
        CKGroup* group = NewGroup("Crew");
        level->AddObject(group);
        CKBeObject* actors[3];
        for (int i = 0; i < 3; ++i) {
            actors[i] = NewBeObject(("Actor " + std::to_string(i)).c_str());
            level->AddObject(actors[i]);
            group->AddObject(actors[i]);
            actors[i]->SetAttribute(health);
        }

        auto* script = Make<CKBehavior>(CKCID_BEHAVIOR, "Script");
        script->SetType(1);
        script->UseGraph();
        auto* block = Make<CKBehavior>(CKCID_BEHAVIOR, "Block");
        script->AddSubBehavior(block);
        block->CreateInput("In");
        block->CreateOutput("Out");
        block->CreateInputParameterByGuid("Speed", CKPGUID_FLOAT);
        CKParameterOut* message = block->CreateOutputParameter("Message", CKPGUID_MESSAGE);
        message->SetStringValue("Alarm");
        CKParameterLocal* mood = script->CreateLocalParameter("Mood", kMood);
        mood->SetStringValue("Angry");
        auto* operation = Make<CKParameterOperation>(CKCID_PARAMETEROPERATION, "Add");
        operation->SetOperationGuid(CKGUID(0x1111, 0x2222));
        operation->SetOutParameter(static_cast<CKParameterOut*>(m_Context->CreateObject(CKCID_PARAMETEROUT, "Result")));
        script->AddParameterOperation(operation);
        actors[0]->AddScript(script);

        auto* array = Make<CKDataArray>(CKCID_DATAARRAY, "Table");
        array->AddColumn("N", CKARRAYTYPE_INT);
        array->AddColumn("W", CKARRAYTYPE_FLOAT);
        array->AddColumn("S", CKARRAYTYPE_STRING);
        array->AddColumn("O", CKARRAYTYPE_OBJECT);
        array->AddColumn("P", CKARRAYTYPE_PARAMETER, CKPGUID_INT);
        for (int r = 0; r < 4; ++r) {
            array->AddRow();
            array->GetElement(r, 0)->Int = r * 1000 - 7;
            array->SetElementString(r, 2, r % 2 ? "odd" : nullptr);
            array->GetElement(r, 3)->Object = actors[r % 3]->GetID();
        }
        level->AddObject(array);

        auto* wave = Make<CKWaveSound>(CKCID_WAVESOUND, "Wave");
        wave->SetSoundFileName("step.wav");
        wave->SetAttachedObject(actors[1]->GetID());
        wave->SetCone({45, 90, 0.25f});
        level->AddObject(wave);
        auto* midi = Make<CKMidiSound>(CKCID_MIDISOUND, "Tune");
        midi->SetSoundFileName("tune.mid");
        level->AddObject(midi);

        auto* synchro = Make<CKSynchroObject>(CKCID_SYNCHRO, "Gate");
        synchro->GetArrivedObjects().InsertRearObject(actors[2]);
    }

    static void Save(CKContext* context, const std::string& path)
    {
        context->SetFileWriteMode(0);
        CKFile* file = context->CreateCKFile();
        ASSERT_EQ(file->StartSave(path.c_str()), 0);
        file->SaveObject(context->GetObjectByNameAndClass("Level", CKCID_LEVEL), 0xFFFFFFFF);
        file->SaveObject(context->GetObjectByNameAndClass("Gate", CKCID_SYNCHRO), 0xFFFFFFFF);
        ASSERT_EQ(file->EndSave(), 0);
        context->DeleteCKFile(file);
    }
};

} // namespace

TEST_F(CompositionTest, EveryKindOfContentSavesLoadsAndSavesAgainToTheSameBytes)
{
    Build();
    TestTempDir dir;
    Save(m_Context, dir.File("first.qbx"));
    CKContext* loaded = NewContext();
    ASSERT_EQ(LoadFile(loaded, dir.File("first.qbx")), 0);
    for (CK_CLASSID cid : {CKCID_LEVEL, CKCID_SCENE, CKCID_GROUP, CKCID_DATAARRAY, CKCID_WAVESOUND, CKCID_MIDISOUND,
                           CKCID_BEHAVIOR, CKCID_PARAMETEROPERATION, CKCID_SYNCHRO, CKCID_PARAMETERLOCAL})
        EXPECT_GT(loaded->GetObjectsCountByClassID(cid), 0) << "class " << cid;
    EXPECT_GE(loaded->GetMessageManager()->AddMessageType("Alarm"), 2);
    EXPECT_GE(loaded->GetParameterManager()->ParameterGuidToType(kMood), 0);
    Save(loaded, dir.File("second.qbx"));
    CKContext* again = NewContext();
    ASSERT_EQ(LoadFile(again, dir.File("second.qbx")), 0);
    Save(again, dir.File("third.qbx"));
    EXPECT_EQ(ReadWholeFile(dir.File("second.qbx")), ReadWholeFile(dir.File("third.qbx")));
}
