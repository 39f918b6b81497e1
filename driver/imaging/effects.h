// Picture effects and photo frames applied to finished frames.
#pragma once

#include "platform/nt/ntddk.h"

// Publishes the picture the next ApplySpecialEffect call works on.
VOID SetEffectPicture(LONG formatIndex, LONG width, LONG height, ULONG effectNumber);
// Applies the selected effect or photo frame in place: STATUS_SUCCESS (also
// when nothing had to be done) or STATUS_NOT_SUPPORTED.
NTSTATUS ApplySpecialEffect(PUCHAR picture, ULONG length);
// Resets the spatial-effect and photo-frame state (stream start, and every
// setting of the effect number).
VOID ResetEffectState();
// Allocates the effect and photo-frame work buffers for a picture size
// (bandwidth allocation); frees them (uninitialize, surprise removal,
// bandwidth release).
NTSTATUS AllocateEffectBuffers(LONG width, LONG height);
VOID FreeEffectBuffers();
