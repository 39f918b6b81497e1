// Picture effects and photo frames applied to finished frames.
#pragma once

#include "platform/nt/ntddk.h"

// Publishes the picture the next ApplySpecialEffect call works on.
VOID SetEffectPicture(LONG formatIndex, LONG width, LONG height, ULONG effectNumber);
// Applies the selected effect or photo frame in place: STATUS_SUCCESS (also
// when nothing had to be done) or STATUS_NOT_SUPPORTED. A picture larger than
// the work buffers allocated for the stream, when the effect needs them, is
// left alone with STATUS_INSUFFICIENT_RESOURCES.
NTSTATUS ApplySpecialEffect(PUCHAR picture, ULONG length);
// Resets the spatial-effect and photo-frame state (stream start, and every
// setting of the effect number).
VOID ResetEffectState();
// Allocates the effect and photo-frame work buffers for a picture size
// (bandwidth allocation); frees them (uninitialize, surprise removal,
// bandwidth release). Sizes above 640x480, which the effects refuse, get no
// buffers.
NTSTATUS AllocateEffectBuffers(LONG width, LONG height);
VOID FreeEffectBuffers();

// The colour effects, one routine per effect and layout, in place.
VOID BlueTintRgb(PUCHAR picture, LONG width, LONG height);
VOID BlueTintYuy2(PUCHAR picture, LONG width, LONG height);
VOID RedTintRgb(PUCHAR picture, LONG width, LONG height);
VOID RedTintYuy2(PUCHAR picture, LONG width, LONG height);
VOID YellowTintRgb(PUCHAR picture, LONG width, LONG height);
VOID YellowTintYuy2(PUCHAR picture, LONG width, LONG height);
VOID SepiaRgb(PUCHAR picture, LONG width, LONG height);
VOID SepiaYuy2(PUCHAR picture, LONG width, LONG height);
VOID BlackWhiteRgb(PUCHAR picture, LONG width, LONG height);
VOID BlackWhiteYuy2(PUCHAR picture, LONG width, LONG height);
VOID GreyRgb(PUCHAR picture, LONG width, LONG height);
VOID GreyYuy2(PUCHAR picture, LONG width, LONG height);
VOID NegativeRgb(PUCHAR picture, LONG width, LONG height);
VOID NegativeYuy2(PUCHAR picture, LONG width, LONG height);
VOID RedOnlyRgb(PUCHAR picture, LONG width, LONG height);
VOID RedOnlyYuy2(PUCHAR picture, LONG width, LONG height);
VOID GreenOnlyRgb(PUCHAR picture, LONG width, LONG height);
VOID GreenOnlyYuy2(PUCHAR picture, LONG width, LONG height);
VOID BlueOnlyRgb(PUCHAR picture, LONG width, LONG height);
VOID BlueOnlyYuy2(PUCHAR picture, LONG width, LONG height);

// Name of an effect or frame number for tools ("blue tint", "birthday"...);
// null for numbers outside the numbering.
PCSTR EffectName(ULONG effectNumber);
