// PLACEHOLDER until the effects are built.
#include "driver/imaging/effects.h"

VOID SetEffectPicture(LONG, LONG, LONG, ULONG) {}
NTSTATUS ApplySpecialEffect(PUCHAR, ULONG) { return STATUS_NOT_SUPPORTED; }
VOID ResetEffectState() {}
NTSTATUS AllocateEffectBuffers(LONG, LONG) { return STATUS_SUCCESS; }
VOID FreeEffectBuffers() {}
