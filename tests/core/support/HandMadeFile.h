#pragma once

#include <string>
#include <vector>
#include <zlib.h>

#include "includes/CKByteOrder.h"
#include "includes/CKTypes.h"

// Engine files laid out by hand from the format description, around chunks
// that no save writes (hostile or broken sections), so that a test can load
// them through CKFile.

// One object of a hand-made file: saved id, class, name and its chunk in
// serialised form (empty: the object has no chunk).
struct HandMadeObject
{
    CK_ID id = 0;
    CK_CLASSID cid = 0;
    std::string name;
    std::vector<CKBYTE> chunk;
};

// A file of the current layout (version 8), plain, saved without thumbnail,
// with no manager data, no plug-in dependency and no included file.
inline std::vector<CKBYTE> HandMadeFile(const std::vector<HandMadeObject>& objects)
{
    using Bytes = std::vector<CKBYTE>;
    auto put = [](Bytes& out, CKDWORD word) {
        CKBYTE b[4];
        StoreLE32(b, word);
        out.insert(out.end(), b, b + 4);
    };
    // Descriptors, padded to whole words by zeros counted in the last name.
    Bytes header;
    size_t lastLength = 0;
    for (const HandMadeObject& object : objects) {
        put(header, object.id);
        put(header, (CKDWORD) object.cid);
        put(header, 0); // the data offset, filled below
        lastLength = header.size();
        put(header, (CKDWORD) object.name.size());
        header.insert(header.end(), object.name.begin(), object.name.end());
    }
    const size_t pad = (4 - header.size() % 4) % 4;
    if (!objects.empty() && pad) {
        header.insert(header.end(), pad, 0);
        StoreLE32(&header[lastLength], (CKDWORD) (objects.back().name.size() + pad));
    }
    put(header, 0); // plug-in dependency entries
    put(header, 4); // included-file table: its size, then the count
    put(header, 0);

    Bytes data;
    CKDWORD highest = 0;
    CKDWORD offset = 64 + (CKDWORD) header.size();
    size_t at = 0;
    for (const HandMadeObject& object : objects) {
        highest = object.id > highest ? object.id : highest;
        StoreLE32(&header[at + 8], offset);
        at += 16 + object.name.size();
        put(data, (CKDWORD) object.chunk.size());
        data.insert(data.end(), object.chunk.begin(), object.chunk.end());
        offset += 4 + (CKDWORD) object.chunk.size();
    }

    Bytes file = {'D', 'o', 'r', 'n', ' ', 'F', 'i', 0};
    put(file, (CKDWORD) adler32(0, data.data(), (uInt) data.size()));
    put(file, 0x07032008); // engine version
    put(file, 8);          // file version
    put(file, 0);
    put(file, 4); // save options: no thumbnail, nothing packed
    put(file, (CKDWORD) header.size());
    put(file, (CKDWORD) data.size());
    put(file, (CKDWORD) data.size());
    put(file, 0); // managers
    put(file, (CKDWORD) objects.size());
    put(file, highest);
    put(file, 0);          // product version
    put(file, 0x04001000); // product build
    put(file, (CKDWORD) header.size());
    file.insert(file.end(), header.begin(), header.end());
    file.insert(file.end(), data.begin(), data.end());
    return file;
}
