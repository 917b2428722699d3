#include <cstdio>
#include <string>

#include "exporter/builder/ExportBuilder.h"
#include "exporter/postpass/PostPassSupport.h"
#include "render/mesh/CKMesh.h"

namespace {

// Engine blend factors 1 to 11, in the order of their values.
const char* const kBlendNames[] = {"zero",      "one",          "srccolor",   "invsrccolor",
                                   "srcalpha",  "invsrcalpha",  "destalpha",  "invdestalpha",
                                   "destcolor", "invdestcolor", "srcalphasat"};
constexpr int kBlendOne = 2;

int BlendFactor(const XString& lowered)
{
    for (int i = 0; i < (int) (sizeof kBlendNames / sizeof *kBlendNames); ++i)
        if (lowered == kBlendNames[i])
            return i + 1;
    return kBlendOne;
}

// One line without its end ("\n" or "\r\n"), however long; false at the
// end of the file with nothing read.
bool ReadLine(std::FILE* file, std::string& line)
{
    line.clear();
    int c;
    bool any = false;
    while ((c = std::fgetc(file)) != EOF) {
        any = true;
        if (c == '\n')
            break;
        line.push_back((char) c);
    }
    if (!line.empty() && line.back() == '\r' && c == '\n')
        line.pop_back();
    return any;
}

const char* NameOf(CKObject* object)
{
    return object->GetName() ? object->GetName() : "";
}

} // namespace

int ExportBuilder::SplitArguments(const XString& line, XClassArray<XString>& words)
{
    words.Clear();
    XString word;
    bool quoted = false;
    auto close = [&]() {
        if (word.Length() > 0)
            words.PushBack(word);
        word = "";
    };
    for (int i = 0; i < line.Length(); ++i) {
        const char c = line[i];
        if (c == '"') {
            // A quote closes the word it ends, or opens a new one.
            close();
            quoted = !quoted;
        } else if (c == ' ' && !quoted) {
            close();
        } else {
            word += c;
        }
    }
    close();
    return words.Size();
}

int ExportBuilder::ReadChannels(const char* path)
{
    const char* name = path ? path : "";
    std::FILE* file = std::fopen(name, "rb");
    if (!file) {
        PostLog(log, "FAILED Reading Channels from %s\n", name);
        return -1;
    }
    PostLog(log, "Reading Channels from %s\n", name);
    int applied = 0;
    std::string text;
    XClassArray<XString> words;
    while (ReadLine(file, text)) {
        const XString line(text.c_str(), (int) text.size());
        if (SplitArguments(line, words) != 7) {
            PostLog(log, "Invalid Argument Count for: %s\n", line.CStr());
            continue;
        }
        XString command = words[0];
        if (command.ToLower() != "setchannel") {
            PostLog(log, "Undefined: %s\n", command.CStr());
            continue;
        }
        for (int w = 3; w < 7; ++w)
            words[w].ToLower();
        const CKBOOL active = words[3] == "true";
        const CKBOOL lit = words[4] == "true";
        const int source = BlendFactor(words[5]);
        const int destination = BlendFactor(words[6]);

        // Creation order: createdObjects keeps it through removals.
        CKMesh* mesh = nullptr;
        CKMaterial* material = nullptr;
        for (CKObject* object : createdObjects) {
            if (!mesh && IsOfClass(object, CKCID_MESH) && words[1] == NameOf(object))
                mesh = static_cast<CKMesh*>(object);
            if (!material && IsOfClass(object, CKCID_MATERIAL) && words[2] == NameOf(object))
                material = static_cast<CKMaterial*>(object);
        }
        if (!mesh) {
            PostLog(log, "Unable to find mesh named: %s\n", words[1].CStr());
            continue;
        }
        if (!material) {
            PostLog(log, "Unable to find material named: %s\n", words[2].CStr());
            continue;
        }
        const int channel = mesh->GetChannelByMaterial(material);
        if (channel < 0) {
            PostLog(log, "Material named %s is not assigned to a channel of mesh named %s", words[2].CStr(),
                    words[1].CStr());
            continue;
        }
        mesh->SetChannelDestBlend(channel, destination);
        mesh->SetChannelSourceBlend(channel, source);
        mesh->LitChannel(channel, lit);
        mesh->ActivateChannel(channel, active);
        PostLog(log, "Read Channel Mesh=%s, Mat=%s, Active=%d, Lit=%d, Src=%s, Dst=%s\n", words[1].CStr(),
                words[2].CStr(), active, lit, words[5].CStr(), words[6].CStr());
        ++applied;
    }
    std::fclose(file);
    return applied;
}
