// Reads arbitrary bytes as a settings file, writes the tree back and reads
// that again: the two trees must be equal (order included) whenever the
// input holds no carriage return or zero byte, the two characters the
// reader or the writer drops inside a line.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/FuzzScratchFile.h"
#include "system/config/QxConfiguration.h"

namespace {
void Dump(QxConfigurationSection* root, std::string& out)
{
    // Iterative, like the code under test: inputs can nest deeply.
    struct Frame
    {
        QxConfigurationSection* section;
        QxConfigurationSection::SectionIterator it;
        bool started;
    };
    QxConfigurationSection::EntryIterator e;
    XArray<Frame*> stack;
    stack.PushBack(new Frame{root, {}, false});
    while (!stack.IsEmpty()) {
        Frame* f = stack[stack.Size() - 1];
        QxConfigurationSection* child;
        if (!f->started) {
            out += "S[";
            out += f->section->GetName();
            out += "]\n";
            for (QxConfigurationEntry* entry = f->section->GetFirstEntry(e); entry;
                 entry = f->section->GetNextEntry(e)) {
                out += "E[";
                out += entry->GetName();
                out += "]=[";
                out += entry->GetValue();
                out += "]\n";
            }
            f->started = true;
            child = f->section->GetFirstSubSection(f->it);
        } else
            child = f->section->GetNextSubSection(f->it);
        if (child)
            stack.PushBack(new Frame{child, {}, false});
        else {
            out += "/\n";
            delete f;
            stack.RemoveAt(stack.Size() - 1);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1 << 20)
        return 0;
    const char* text = reinterpret_cast<const char*>(data);
    QxConfiguration config(2);
    int counter = 0;
    XString error;
    int ok = config.ReadFromText(text, static_cast<CKDWORD>(size), &counter, &error);
    if (counter < 0 || error.IsEmpty())
        std::abort();
    if (!ok)
        return 0;

    if (std::memchr(text, '\r', size) || std::memchr(text, '\0', size))
        return 0;
    std::string first;
    Dump(config.GetRoot(), first);
    if (!config.WriteToFile(FuzzScratchPath().c_str()))
        std::abort();
    QxConfiguration back(2);
    if (!back.ReadFromFile(FuzzScratchPath().c_str(), &counter, &error))
        std::abort();
    std::string second;
    Dump(back.GetRoot(), second);
    if (first != second)
        std::abort();
    return 0;
}
