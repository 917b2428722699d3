#pragma once

#include "render/objects/pointcloud/CloudTree.h"

class CKStateChunk;

// The subdivision in a cloud's chunk: the page count, then per page the
// address the page had in the saving program, its entry count n and its
// 8 n bytes (W then P of each entry, little-endian). Links are addresses in
// the saving program: an inner node's P is the address of its first child
// in the next page, a multi-point leaf's P the address of its first point
// entry in its own page. The group bits of inner nodes are not saved.
//
// Written addresses are the byte offsets of the pages laid end to end from
// a fixed base, so that saving twice gives the same bytes.
void CloudWritePages(CKStateChunk& chunk, const CloudTree& tree);

// Reads the section at the chunk's position into tree, turning every link
// into an index after checking it: a link must fall on an entry of the page
// it names, with room for all the entries it covers; every entry must be
// reached exactly once, as a node or as a point entry; nodes must be of a
// known kind with consistent child counts; point indices must be below
// pointCount. false (tree emptied, why set) when the section is refused.
bool CloudReadPages(CKStateChunk& chunk, CloudTree& tree, CKDWORD pointCount, const char*& why);

// Pages a loaded subdivision may hold at most: deeper trees are refused, as
// no building makes them and every walk recurses once per page.
constexpr int CLOUD_MAXPAGES = 128;
