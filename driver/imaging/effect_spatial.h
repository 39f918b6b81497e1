// The ten effects that look at neighbours, move pixels or lay a pattern
// over the picture. Each routine works in place on a picture the dispatcher
// has already checked (size, buffer length, layout); those that need a work
// buffer take it from the effect state.
#pragma once

#include "driver/imaging/effect_state.h"
#include "platform/nt/ntddk.h"

// Emboss (6).
VOID EmbossRgb(PUCHAR picture, LONG width, LONG height);
VOID EmbossYuy2(PUCHAR picture, LONG width, LONG height, PUCHAR scratch);
// Mosaic (9).
// Sums columns in the scratch picture (two bytes per byte of a row).
VOID MosaicRgb(PUCHAR picture, LONG width, LONG height, PUCHAR scratch);
VOID MosaicYuy2(PUCHAR picture, LONG width, LONG height, PUCHAR scratch);
// Bulge (10): builds the displacement map when its cache key differs.
VOID BuildBulgeMap(EffectState* state, LONG width, LONG height);
VOID BulgeRgb(EffectState* state, PUCHAR picture, LONG width, LONG height);
VOID BulgeYuy2(EffectState* state, PUCHAR picture, LONG width, LONG height);
// Tiles (12).
VOID TilesRgb(PUCHAR picture, LONG width, LONG height);
VOID TilesYuy2(PUCHAR picture, LONG width, LONG height);
// Light streaks (13).
VOID StreaksRgb(PUCHAR picture, LONG width, LONG height, PUCHAR scratch);
VOID StreaksYuy2(PUCHAR picture, LONG width, LONG height, PUCHAR scratch);
// Stretch (17): advances the scale once per call.
VOID AdvanceStretch(EffectState* state);
VOID StretchRgb(EffectState* state, PUCHAR picture, LONG width, LONG height);
VOID StretchYuy2(EffectState* state, PUCHAR picture, LONG width, LONG height);
// Pencil sketch (18).
VOID PencilRgb(PUCHAR picture, LONG width, LONG height, PUCHAR scratch);
VOID PencilYuy2(PUCHAR picture, LONG width, LONG height, PUCHAR scratch);
// Frosted glass (19).
VOID FrostedRgb(PUCHAR picture, LONG width, LONG height, PUCHAR scratch);
VOID FrostedYuy2(PUCHAR picture, LONG width, LONG height, PUCHAR scratch);
// Nine-view grid (20): draws into the next cell, advances the cell.
VOID GridRgb(EffectState* state, PUCHAR picture, LONG width, LONG height);
VOID GridYuy2(EffectState* state, PUCHAR picture, LONG width, LONG height);
// Relief texture (21).
VOID ReliefRgb(PUCHAR picture, LONG width, LONG height);
VOID ReliefYuy2(PUCHAR picture, LONG width, LONG height);
