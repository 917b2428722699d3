#pragma once

#include "core/chunk/CKStateChunk.h"

// Walks a position list of one chunk level (object ids, sub-chunks or
// manager values). A single entry p covers `single` words from p; an entry
// -1 announces a sequence whose count word stands at the next entry's
// position p, with `header` words from p up to the first item and count
// items of one word each behind them. visit(p, count, isSequence) is called
// for each entry that lies inside the data and begins at or after the end of
// the previous accepted entry; any other entry is skipped and marks the
// record refused. Entries of a well-formed chunk rise strictly (they are
// recorded while writing forward), so the walk costs at most one visit per
// data word and never visits a word twice.
template <class Visit>
void WalkChunkPositionList(ChunkIteratorData* record, const CKDWORD* list, int count, int single, int header,
                           Visit&& visit)
{
    const int n = record->DataSize;
    int minNext = 0;
    for (int i = 0; i < count; ++i) {
        int e = (int) list[i];
        if (e == -1) {
            if (i + 1 >= count) {
                record->Refused = TRUE;
                break;
            }
            int p = (int) list[++i];
            if (p < minNext || p > n - header) {
                record->Refused = TRUE;
                continue;
            }
            CKDWORD c = record->Data[p];
            if (c > (CKDWORD) (n - p - header)) {
                record->Refused = TRUE;
                continue;
            }
            visit(p, (int) c, true);
            minNext = p + header + (int) c;
        } else {
            if (e < minNext || e > n - single) {
                record->Refused = TRUE;
                continue;
            }
            visit(e, 1, false);
            minNext = e + single;
        }
    }
}
