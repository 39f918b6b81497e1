// Inside views of the JPEG decoder for its tests and benchmark: the decoder
// context's tables, the choice between the wide-buffer entropy decoder and the
// plain bit-by-bit one, and where the last decode stopped.
#pragma once

#include "driver/imaging/jpeg_decoder.h"

// One Huffman table as ITU-T T.81 Annex C and F.2.2.3 build it, plus a
// 10-bit lookahead table for the fast decoder.
constexpr int kJpegLookaheadBits = 10;
struct JpegHuffTable {
  LONG Bits[17];      // [1..16]: number of codes of each length
  LONG HuffVal[256];  // symbols in code order
  LONG HuffSize[257];  // work list: code length of each symbol, 0-terminated
  LONG HuffCode[257];  // work list: code of each symbol
  LONG MinCode[17];
  LONG MaxCode[18];  // -1 where a length has no codes
  LONG ValPtr[17];
  // Indexed by the next 10 bits: (length << 8) | symbol when the bit-by-bit
  // decode finishes within those bits, 0 when it needs more.
  USHORT Lookahead[1 << kJpegLookaheadBits];
  // For AC tables, indexed the same way. Bits 8-15 tell what the bits hold:
  // a run of 0..15 zeros and a coefficient whose code and extra bits fit in
  // the 10 bits, kJpegAcZeroRun (16 zeros), kJpegAcEndOfBlock, or
  // kJpegAcNotInTable. Bits 0-7 give the bits to take (code and extra bits),
  // bits 16-19 the code's length and bits 20-31 the coefficient's value.
  LONG AcLookahead[1 << kJpegLookaheadBits];
};
constexpr LONG kJpegAcZeroRun = 16;
constexpr LONG kJpegAcEndOfBlock = 0x40;
constexpr LONG kJpegAcNotInTable = 0x80;

// Bit reader status values. 0xD0 stands for every restart-class marker;
// any other marker leaves its own code. kJpegStatusDataEnded is this
// decoder's own: the entropy data ran out (end of the frame buffer or EOI)
// before the last MCU.
constexpr UCHAR kJpegStatusOk = 0x00;
constexpr UCHAR kJpegStatusRestart = 0xD0;
constexpr UCHAR kJpegStatusCodeError = 0xFF;
constexpr UCHAR kJpegStatusDataEnded = 0xD9;

// Where the entropy decoder of the last decode operation stopped. All zero
// when the operation refused the frame before decoding any data.
struct JpegDecodeState {
  UCHAR Status;         // loop result: 0 on success
  ULONG Offset;         // read position, from the first byte of the frame
  ULONG BitsLeft;       // unread bits of the current byte (0..7)
  ULONG BitsTaken;      // bits taken from the entropy-coded data
  ULONG BytesConsumed;  // read position less the first entropy-coded byte
  ULONG McuCount;       // MCUs decoded
};

// Restores the tables the decoder has at load: the Annex K Huffman tables
// and zero quantisation tables.
void JpegResetTables();
// Selects the plain bit-by-bit entropy decoder (true) or the fast one.
void JpegUseBitByBitDecoder(bool enable);
void JpegGetLastDecodeState(JpegDecodeState* state);
const JpegHuffTable* JpegGetHuffTable(int index);  // index = id + 2 * class
const SHORT* JpegGetQuantTable(int index);         // 0 luma, 1 chroma; zigzag order, x 16
