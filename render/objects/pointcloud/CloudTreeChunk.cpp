#include "render/objects/pointcloud/CloudTreeChunk.h"

#include <vector>

#include "core/chunk/CKStateChunk.h"

namespace {

// Where the written pages start: any word does, as long as saving twice
// gives the same one.
constexpr CKDWORD kFirstPageAddress = 0x10000000;

int RemainingWords(CKStateChunk& chunk)
{
    return chunk.GetDataSize() / 4 - chunk.GetCurrentPos();
}

enum : CKBYTE
{
    kUnreached = 0,
    kNode = 1,
    kPointEntry = 2,
};

} // namespace

void CloudWritePages(CKStateChunk& chunk, const CloudTree& tree)
{
    const int pageCount = (int) tree.Pages.size();
    std::vector<CKDWORD> addresses(pageCount + 1);
    CKDWORD address = kFirstPageAddress;
    for (int d = 0; d < pageCount; ++d) {
        addresses[d] = address;
        address += (CKDWORD) (tree.Pages[d].size() * sizeof(CloudNode));
    }
    addresses[pageCount] = address;
    chunk.WriteInt(pageCount);
    for (int d = 0; d < pageCount; ++d) {
        const std::vector<CloudNode>& page = tree.Pages[d];
        const int n = (int) page.size();
        chunk.WriteDword(addresses[d]);
        chunk.WriteInt(n);
        CKDWORD* words = chunk.LockWriteBuffer(2 * n);
        if (!words)
            return;
        for (int i = 0; i < n; ++i) {
            CloudNode e = page[i];
            if (CloudIsInner(e)) {
                e.W &= ~CLOUD_GROUPMASK;
                e.P = addresses[d + 1] + e.P * (CKDWORD) sizeof(CloudNode);
            } else if (CloudIsMultiLeaf(e)) {
                e.P = addresses[d] + e.P * (CKDWORD) sizeof(CloudNode);
            }
            words[2 * i] = e.W;
            words[2 * i + 1] = e.P;
        }
        chunk.Skip(2 * n);
    }
}

bool CloudReadPages(CKStateChunk& chunk, CloudTree& tree, CKDWORD pointCount, const char*& why)
{
    tree.Clear();
    auto refuse = [&](const char* what) {
        tree.Clear();
        why = what;
        return false;
    };
    const int pageCount = chunk.ReadInt();
    if (pageCount < 0 || pageCount > CLOUD_MAXPAGES)
        return refuse("page count out of range");
    std::vector<CKDWORD> addresses(pageCount);
    tree.Pages.resize(pageCount);
    for (int d = 0; d < pageCount; ++d) {
        addresses[d] = chunk.ReadDword();
        const int n = chunk.ReadInt();
        if (n < 0 || (long long) n * 2 > RemainingWords(chunk))
            return refuse("page entries beyond the data");
        const CKDWORD* words = chunk.LockReadBuffer(2 * n);
        if (n > 0 && !words)
            return refuse("page entries beyond the data");
        std::vector<CloudNode>& page = tree.Pages[d];
        page.resize(n);
        for (int i = 0; i < n; ++i) {
            page[i].W = words[2 * i];
            page[i].P = words[2 * i + 1];
        }
        chunk.Skip(2 * n);
    }
    if (chunk.GetReadError() != 0)
        return refuse("pages cut short");
    if (pageCount == 0)
        return true;
    if (tree.Pages[0].empty())
        return refuse("no root");

    // The index an address names in page d, covering count entries; -1
    // when it does not fall on the page's entries.
    auto indexOf = [&](int d, CKDWORD address, CKDWORD count) -> long long {
        if (d >= pageCount)
            return -1;
        const CKDWORD offset = address - addresses[d];
        if (offset % sizeof(CloudNode) != 0)
            return -1;
        const CKDWORD index = offset / (CKDWORD) sizeof(CloudNode);
        if ((unsigned long long) index + count > tree.Pages[d].size())
            return -1;
        return index;
    };
    std::vector<std::vector<CKBYTE>> reached(pageCount);
    for (int d = 0; d < pageCount; ++d)
        reached[d].assign(tree.Pages[d].size(), kUnreached);
    reached[0][0] = kNode;
    for (int d = 0; d < pageCount; ++d) {
        std::vector<CloudNode>& page = tree.Pages[d];
        for (size_t i = 0; i < page.size(); ++i) {
            if (reached[d][i] != kNode)
                continue;
            CloudNode& e = page[i];
            const CKDWORD low = e.W & 0xFF;
            if (CloudIsEmpty(e)) {
                if (d != 0 || i != 0)
                    return refuse("an empty node below the root");
            } else if ((low & 0xF0) == 0) {
                const int count = CloudChildCount(e);
                if (count < 1 || count > 8 || CloudBitCount(CloudChildMask(e)) != count)
                    return refuse("an inner node whose child count and mask disagree");
                const long long first = indexOf(d + 1, e.P, (CKDWORD) count);
                if (first < 0)
                    return refuse("children outside the next page");
                for (int c = 0; c < count; ++c) {
                    CKBYTE& r = reached[d + 1][first + c];
                    if (r != kUnreached)
                        return refuse("an entry reached twice");
                    r = kNode;
                }
                e.W &= ~CLOUD_GROUPMASK;
                e.P = (CKDWORD) first;
            } else if (low == CLOUD_SINGLELEAF) {
                if (CloudPointIndex(e.P) >= pointCount)
                    return refuse("a point index beyond the point count");
            } else if (low == CLOUD_MULTILEAF) {
                const CKDWORD n = e.W >> 8;
                const long long first = n > 0 ? indexOf(d, e.P, n) : -1;
                if (first < 0)
                    return refuse("leaf points outside their page");
                for (CKDWORD k = 0; k < n; ++k) {
                    CKBYTE& r = reached[d][first + k];
                    const CloudNode& point = page[first + k];
                    if (r != kUnreached)
                        return refuse("an entry reached twice");
                    if ((point.W & 0xFF) != CLOUD_POINTENTRY)
                        return refuse("a leaf point of another kind");
                    if (CloudPointIndex(point.P) >= pointCount)
                        return refuse("a point index beyond the point count");
                    r = kPointEntry;
                }
                e.P = (CKDWORD) first;
            } else {
                return refuse("a node of no known kind");
            }
        }
        for (CKBYTE r : reached[d])
            if (r == kUnreached)
                return refuse("an entry no node reaches");
    }
    return true;
}
