#pragma once

// Seeds of the animation-export fuzz target (fuzz/fuzz_animation_export.cpp
// gives the layout), for write_fuzz_seeds.

#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "includes/CKByteOrder.h"

struct AnimationSeedKey
{
    int32_t time = 0;
    uint32_t flags = 0;
    float f[22] = {};
};

inline std::vector<uint8_t> AnimationSeed(uint8_t control, int8_t step, uint8_t frames, uint8_t ticks, float threshold,
                                          const std::vector<AnimationSeedKey>& keys,
                                          const std::vector<uint8_t>& skin = {})
{
    std::vector<uint8_t> bytes(9 + 96 * keys.size());
    bytes[0] = control;
    bytes[1] = (uint8_t) step;
    bytes[2] = frames;
    bytes[3] = ticks;
    StoreLEFloat(&bytes[4], threshold);
    bytes[8] = (uint8_t) keys.size();
    size_t at = 9;
    for (const AnimationSeedKey& k : keys) {
        StoreLE32(&bytes[at], (uint32_t) k.time);
        StoreLE32(&bytes[at + 4], k.flags);
        for (int i = 0; i < 22; ++i)
            StoreLEFloat(&bytes[at + 8 + 4 * (size_t) i], k.f[i]);
        at += 96;
    }
    bytes.insert(bytes.end(), skin.begin(), skin.end());
    return bytes;
}

// A key at a frame of 160 ticks with value (v, v / 2, -v), rotation about
// z by v, a TCB turn of v about z and small tangents.
inline AnimationSeedKey AnimationSeedKeyAt(float frame, float v)
{
    AnimationSeedKey k;
    k.time = (int32_t) (frame * 160.0f);
    k.flags = 5u << 7 | 5u << 10;
    k.f[0] = v;
    k.f[1] = v / 2.0f;
    k.f[2] = -v;
    k.f[5] = std::sin(v / 2.0f);
    k.f[6] = std::cos(v / 2.0f);
    k.f[7] = v;
    k.f[10] = 1.0f;
    k.f[11] = k.f[14] = 0.001f;
    return k;
}

// Skin data: the mode, the bone count, then per vertex a count (or a type
// and a count) and that many (bone, weight).
inline std::vector<uint8_t> AnimationSeedSkin(uint8_t mode, uint8_t bones, bool physique, uint8_t type,
                                              const std::vector<std::pair<int8_t, float>>& influences)
{
    std::vector<uint8_t> bytes = {mode, bones};
    for (int v = 0; v < 4; ++v) {
        if (physique)
            bytes.push_back(type);
        bytes.push_back((uint8_t) influences.size());
        for (const auto& [bone, weight] : influences) {
            bytes.push_back((uint8_t) bone);
            uint8_t word[4];
            StoreLEFloat(word, weight);
            bytes.insert(bytes.end(), word, word + 4);
        }
    }
    return bytes;
}

// Named seeds: every track and class, keys in order and not, broken values.
inline std::vector<std::pair<std::string, std::vector<uint8_t>>> AnimationExportSeeds()
{
    std::vector<std::pair<std::string, std::vector<uint8_t>>> seeds;
    const std::vector<AnimationSeedKey> ordered = {AnimationSeedKeyAt(0, 0.0f), AnimationSeedKeyAt(4, 1.0f),
                                                   AnimationSeedKeyAt(9, 0.5f)};
    const char* tracks[4] = {"weight", "position", "rotation", "scale"};
    const char* kinds[4] = {"linear", "bezier", "tcb", "sampled"};
    for (uint8_t track = 0; track < 4; ++track)
        for (uint8_t kind = 0; kind < 4; ++kind)
            seeds.emplace_back(std::string(tracks[track]) + "_" + kinds[kind],
                               AnimationSeed((uint8_t) (track | kind << 2 | 0x20), 1, 10, 8, 0.01f, ordered));
    std::vector<AnimationSeedKey> broken = {AnimationSeedKeyAt(6, 2.0f), AnimationSeedKeyAt(2, NAN),
                                            AnimationSeedKeyAt(2, 1.0f), AnimationSeedKeyAt(-3, INFINITY)};
    broken[0].flags = 7u << 7 | 6u << 10;
    broken[1].f[10] = 0.0f;
    broken[3].f[8] = NAN;
    seeds.emplace_back("rotation_tcb_broken", AnimationSeed(2 | 2 << 2 | 0x40, 0, 12, 8, 0.0f, broken));
    seeds.emplace_back("position_bezier_camera_broken", AnimationSeed(1 | 1 << 2 | 0x10, -2, 12, 0, NAN, broken));
    seeds.emplace_back("scale_sampled_biped", AnimationSeed(3 | 3 << 2 | 0xE0, 3, 40, 255, 0.5f, broken));
    seeds.emplace_back("weight_sampled_empty", AnimationSeed(0 | 3 << 2 | 0x60, 0, 0, 8, 0.1f, {}));
    seeds.emplace_back("position_skin", AnimationSeed(1 | 0x20, 1, 10, 8, 0.01f, ordered,
                                                      AnimationSeedSkin(0, 2, false, 0, {{0, 0.25f}, {1, 0.75f}})));
    seeds.emplace_back("position_skin_broken",
                       AnimationSeed(1 | 0x20, 1, 10, 8, 0.01f, ordered,
                                     AnimationSeedSkin(0, 3, false, 0, {{-1, 0.5f}, {7, NAN}, {2, 1.0f}})));
    seeds.emplace_back("position_skin_to_morph", AnimationSeed(1 | 0x20, 1, 10, 8, 0.01f, ordered,
                                                               AnimationSeedSkin(2, 1, false, 0, {{0, 1.0f}})));
    seeds.emplace_back("position_physique", AnimationSeed(1 | 0x20, 1, 10, 8, 0.01f, ordered,
                                                          AnimationSeedSkin(5, 2, true, 5, {{0, 0.2f}, {1, 0.2f}})));
    seeds.emplace_back("position_physique_broken",
                       AnimationSeed(1 | 0x20, 1, 10, 8, 0.01f, ordered,
                                     AnimationSeedSkin(13, 2, true, 5, {{0, 0.0f}, {9, -1.0f}, {1, INFINITY}})));
    return seeds;
}
