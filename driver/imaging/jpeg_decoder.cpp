// The driver's baseline JPEG decoder: header parse, Huffman decoding of the
// entropy-coded data, dequantisation, inverse DCT and the MCU loops that
// write I420 planes or planar 4:2:2 for the BGR conversion.
//
// One decoder context exists per driver. Decodes never overlap: only the
// frame-completion path of the one open video stream calls in.
#include "driver/imaging/jpeg_decoder.h"

#include <cstring>

#include "driver/imaging/jpeg_internal.h"
#include "driver/imaging/jpeg_kernels.h"

namespace {

// ---- Huffman tables (ITU-T T.81 Annex C and F.2.2.3) ------------------------

// Whether 16 code counts describe a prefix code: the canonical codes of each
// length must fit in that many bits, and, as libjpeg-turbo requires, no code
// may be all ones. A table whose counts overflow would hand out codes that
// alias longer ones, leaving only the index clamps between a corrupt table and
// the symbol array.
constexpr bool HuffCountsFit(const UCHAR* counts) {
  LONG code = 0;
  for (int l = 1; l <= 16; ++l) {
    code += counts[l - 1];
    if (counts[l - 1] != 0 && code >= (LONG(1) << l)) return false;
    code <<= 1;
  }
  return true;
}

// Builds one table from its 16 counts and its symbols; total is at most 256.
constexpr void BuildHuffTable(const UCHAR* counts, const UCHAR* symbols, JpegHuffTable& t) {
  int total = 0;
  t.Bits[0] = 0;
  for (int l = 1; l <= 16; ++l) {
    t.Bits[l] = counts[l - 1];
    total += counts[l - 1];
  }
  for (int i = 0; i < 256; ++i) t.HuffVal[i] = i < total ? symbols[i] : 0;
  // Code sizes: each length repeated by its count, terminated by 0.
  int k = 0;
  for (int l = 1; l <= 16; ++l)
    for (int i = 0; i < t.Bits[l]; ++i) t.HuffSize[k++] = l;
  for (int i = k; i < 257; ++i) t.HuffSize[i] = 0;
  // Canonical codes: one more per symbol, one bit longer per length step.
  LONG code = 0;
  LONG size = t.HuffSize[0];
  k = 0;
  while (t.HuffSize[k] != 0) {
    while (t.HuffSize[k] == size) t.HuffCode[k++] = code++;
    code <<= 1;
    ++size;
  }
  for (int i = k; i < 257; ++i) t.HuffCode[i] = 0;
  int j = 0;
  for (int l = 1; l <= 16; ++l) {
    if (t.Bits[l] == 0) {
      t.MaxCode[l] = -1;
      t.MinCode[l] = 0;
      t.ValPtr[l] = 0;
    } else {
      t.ValPtr[l] = j;
      t.MinCode[l] = t.HuffCode[j];
      j += t.Bits[l];
      t.MaxCode[l] = t.HuffCode[j - 1];
    }
  }
  t.MinCode[0] = t.ValPtr[0] = 0;
  t.MaxCode[0] = t.MaxCode[17] = -1;
  // Lookahead: run the bit-by-bit decode on every 10-bit pattern and keep the
  // result where it finishes within those bits.
  for (int p = 0; p < (1 << kJpegLookaheadBits); ++p) {
    LONG c = (p >> (kJpegLookaheadBits - 1)) & 1;
    int len = 1;
    bool found = true;
    while (c > t.MaxCode[len]) {
      if (++len > kJpegLookaheadBits) {
        found = false;
        break;
      }
      c = (c << 1) | ((p >> (kJpegLookaheadBits - len)) & 1);
    }
    if (!found) {
      t.Lookahead[p] = 0;
      t.AcLookahead[p] = kJpegAcNotInTable << 8;
      continue;
    }
    LONG idx = c + t.ValPtr[len] - t.MinCode[len];
    idx = idx < 0 ? 0 : (idx > 255 ? 255 : idx);
    const int rs = int(t.HuffVal[idx] & 0xFF);
    t.Lookahead[p] = static_cast<USHORT>((len << 8) | rs);
    const int r = rs >> 4, s = rs & 15;
    t.AcLookahead[p] = kJpegAcNotInTable << 8;
    if (s == 0) {
      t.AcLookahead[p] = len | ((r == 15 ? kJpegAcZeroRun : kJpegAcEndOfBlock) << 8) | (len << 16);
    } else if (len + s <= kJpegLookaheadBits) {
      const ULONG v = ULONG(p >> (kJpegLookaheadBits - len - s)) & ((1u << s) - 1);
      const LONG value = (v & (1u << (s - 1))) ? LONG(v) : LONG(v) - ((1 << s) - 1);
      t.AcLookahead[p] = LONG(ULONG(len + s) | (ULONG(r) << 8) | (ULONG(len) << 16) | (ULONG(value) << 20));
    }
  }
}

constexpr JpegHuffTable MakeHuffTable(const UCHAR* counts, const UCHAR* symbols) {
  JpegHuffTable t{};
  BuildHuffTable(counts, symbols, t);
  return t;
}

// The typical tables of ITU-T T.81 Annex K.3 to K.6.
constexpr UCHAR kDcLumaCounts[16] = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
constexpr UCHAR kDcChromaCounts[16] = {0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0};
constexpr UCHAR kDcSymbols[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
constexpr UCHAR kAcLumaCounts[16] = {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d};
constexpr UCHAR kAcLumaSymbols[162] = {
    0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61, 0x07, 0x22, 0x71,
    0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52, 0xd1, 0xf0, 0x24, 0x33, 0x62, 0x72,
    0x82, 0x09, 0x0a, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x34, 0x35, 0x36, 0x37,
    0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59,
    0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x83,
    0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9a, 0xa2, 0xa3,
    0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3,
    0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2,
    0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa};
constexpr UCHAR kAcChromaCounts[16] = {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77};
constexpr UCHAR kAcChromaSymbols[162] = {
    0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61, 0x71, 0x13, 0x22,
    0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xa1, 0xb1, 0xc1, 0x09, 0x23, 0x33, 0x52, 0xf0, 0x15, 0x62, 0x72, 0xd1,
    0x0a, 0x16, 0x24, 0x34, 0xe1, 0x25, 0xf1, 0x17, 0x18, 0x19, 0x1a, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x35, 0x36,
    0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58,
    0x59, 0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a,
    0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9a,
    0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba,
    0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda,
    0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa};

// Index id + 2 x class: DC0, DC1, AC0, AC1.
constexpr JpegHuffTable kAnnexKTables[4] = {
    MakeHuffTable(kDcLumaCounts, kDcSymbols), MakeHuffTable(kDcChromaCounts, kDcSymbols),
    MakeHuffTable(kAcLumaCounts, kAcLumaSymbols), MakeHuffTable(kAcChromaCounts, kAcChromaSymbols)};

// ---- the decoder context ---------------------------------------------------------

struct JpegContext {
  JpegHuffTable Huff[4];
  alignas(16) SHORT Quant[2][64];  // luma, chroma; zigzag order, file value x 16
  // Tables of the header being parsed; they replace the ones in force only
  // when the header is accepted.
  JpegHuffTable StagedHuff[4];
  alignas(16) SHORT StagedQuant[2][64];
  BOOLEAN StagedHuffSet[4];
  BOOLEAN StagedQuantSet[2];
  // Per-block work areas. The entropy decoder writes each coefficient,
  // dequantised, straight to its place in the transform's order, so the
  // block needs no reordering pass; it is clear between blocks.
  alignas(32) SHORT Block[64];
  alignas(16) UCHAR Pixels[64];
  alignas(16) UCHAR Halved[32];
  SHORT Pred[3];  // DC predictors of Y, Cb, Cr
  BOOLEAN BitByBit;
  JpegDecodeState Last;
};

// The Annex K tables are in place from load on, so a frame without DHT
// decodes; the quantisation tables start at zero until a DQT arrives.
JpegContext g_Jpeg = {{kAnnexKTables[0], kAnnexKTables[1], kAnnexKTables[2], kAnnexKTables[3]}};

inline ULONG ReadBe16(const UCHAR* p) { return (ULONG(p[0]) << 8) | p[1]; }

// ---- entropy decoding ---------------------------------------------------------------

// Value of an s-bit difference (T.81 F.12). Categories of 12 and more do not
// occur in 8-bit baseline data and give 0.
inline LONG Extend(ULONG v, int s) {
  if (s == 0 || s >= 12) return 0;
  return (v & (1u << (s - 1))) ? LONG(v) : LONG(v) - ((1 << s) - 1);
}

// T.81 F.16, one bit at a time, on any reader. A restart-class marker met
// inside a code lets the code finish on zero bits (the reader yields nothing
// more once its status is set); any other status ends it with 0.
template <class Reader>
int DecodeHuffmanBits(Reader& rd, const JpegHuffTable& t) {
  LONG code = LONG(rd.GetBits(1));
  if (rd.Status) return 0;
  int len = 1;
  while (code > t.MaxCode[len]) {
    if (++len > 16) {
      rd.Status = kJpegStatusCodeError;
      return 0;
    }
    ULONG bit = rd.GetBits(1);
    if (rd.Status && rd.Status != kJpegStatusRestart) return 0;
    code = (code << 1) | LONG(bit);
  }
  LONG idx = code + t.ValPtr[len] - t.MinCode[len];
  idx = idx < 0 ? 0 : (idx > 255 ? 255 : idx);
  return int(t.HuffVal[idx]);
}

// The plain reader: one byte at a time, most significant bit first.
struct BitReader {
  const UCHAR* Pos;
  const UCHAR* End;
  ULONG Cur;       // unread bits at the top of the byte
  int BitsLeft;    // 0..8
  ULONG Loaded;    // data bytes loaded
  UCHAR Status;

  void Start(const UCHAR* p, const UCHAR* end) {
    Pos = p;
    End = end;
    Cur = 0;
    BitsLeft = 0;
    Loaded = 0;
    Status = kJpegStatusOk;
  }
  // Loads the next data byte. FF 00 is a data FF; FF followed by a
  // restart-class code (D0-DF, F0-FF) steps past the marker with status D0;
  // any other marker leaves the position on its code byte with the code as
  // status. The end of the buffer and EOI end the data.
  bool Load() {
    if (Pos >= End) {
      Status = kJpegStatusDataEnded;
      return false;
    }
    UCHAR b = *Pos;
    if (b == 0xFF) {
      if (Pos + 1 >= End) {
        Status = kJpegStatusDataEnded;
        return false;
      }
      UCHAR m = Pos[1];
      if (m == 0xD9) {
        Status = kJpegStatusDataEnded;
        return false;
      }
      if (m != 0) {
        if ((m & 0xD0) == 0xD0) {
          Status = kJpegStatusRestart;
          Pos += 2;
        } else {
          Status = m;
          Pos += 1;
        }
        return false;
      }
      Pos += 2;
    } else {
      Pos += 1;
    }
    Cur = b;
    BitsLeft = 8;
    ++Loaded;
    return true;
  }
  ULONG GetBits(int n) {
    if (n <= 0 || Status) return 0;
    ULONG v = 0;
    while (n > BitsLeft) {
      v = (v << BitsLeft) | (Cur >> (8 - BitsLeft));
      n -= BitsLeft;
      BitsLeft = 0;
      Cur = 0;
      if (!Load()) return 0;
    }
    v = (v << n) | (Cur >> (8 - n));
    Cur = (Cur << n) & 0xFF;
    BitsLeft -= n;
    return v;
  }
  int DecodeHuffman(const JpegHuffTable& t) { return DecodeHuffmanBits(*this, t); }
  // After a restart-class marker: the byte holding the last bits was used up
  // before the marker was loaded, so decoding goes on at the byte after it.
  void Restart() { Status = kJpegStatusOk; }
  void Report(const UCHAR* frame, const UCHAR* entropy, JpegDecodeState* s) const {
    s->Offset = ULONG(Pos - frame);
    s->BitsLeft = ULONG(BitsLeft);
    s->BitsTaken = Loaded * 8 - ULONG(BitsLeft);
    s->BytesConsumed = ULONG(Pos - entropy);
  }
};

// The wide reader: up to 64 bits buffered, filled eight bytes at a time
// where no FF is among them. Filling stops in front of a marker or the end of
// the data; what the plain reader would do on loading that byte happens only
// when the bits before it are used up, so every symbol, status and stopping
// point is the plain reader's.
struct FastReader {
  const UCHAR* FillPos;
  const UCHAR* End;
  ULONGLONG Acc;  // buffered bits at the top
  int NBits;
  ULONG Loaded;
  BOOLEAN MarkerPending;
  BOOLEAN MarkerHit;
  UCHAR MarkerCode;  // 0: end of the buffer
  const UCHAR* MarkerAt;
  const UCHAR* Resume;
  UCHAR Status;

  void Start(const UCHAR* p, const UCHAR* end) {
    FillPos = p;
    End = end;
    Acc = 0;
    NBits = 0;
    Loaded = 0;
    MarkerPending = MarkerHit = FALSE;
    MarkerCode = 0;
    MarkerAt = Resume = p;
    Status = kJpegStatusOk;
  }
  static ULONGLONG LoadBe64(const UCHAR* p) {
    ULONGLONG v;
    std::memcpy(&v, p, 8);
    return __builtin_bswap64(v);
  }
  void Fill() {
    if (MarkerPending || NBits > 56) return;
    if (End - FillPos >= 8) {
      ULONGLONG w = LoadBe64(FillPos);
      if ((((~w) - 0x0101010101010101ULL) & w & 0x8080808080808080ULL) == 0) {
        int nb = (64 - NBits) >> 3;
        Acc |= w >> NBits;
        NBits += nb * 8;
        if (NBits < 64) Acc &= ~0ULL << (64 - NBits);
        FillPos += nb;
        Loaded += ULONG(nb);
        return;
      }
    }
    while (NBits <= 56) {
      if (FillPos >= End) {
        MarkerPending = TRUE;
        MarkerCode = 0;
        MarkerAt = FillPos;
        return;
      }
      UCHAR b = *FillPos;
      if (b == 0xFF) {
        if (FillPos + 1 >= End || FillPos[1] != 0) {
          MarkerPending = TRUE;
          MarkerCode = FillPos + 1 >= End ? 0 : FillPos[1];
          MarkerAt = FillPos;
          return;
        }
        FillPos += 2;
      } else {
        FillPos += 1;
      }
      Acc |= ULONGLONG(b) << (56 - NBits);
      NBits += 8;
      ++Loaded;
    }
  }
  // The bits run out in front of the pending marker.
  void MarkerEvent() {
    Acc = 0;
    NBits = 0;
    MarkerHit = TRUE;
    if (MarkerCode == 0 || MarkerCode == 0xD9) {
      Status = kJpegStatusDataEnded;
      Resume = MarkerAt;
    } else if ((MarkerCode & 0xD0) == 0xD0) {
      Status = kJpegStatusRestart;
      Resume = MarkerAt + 2;
    } else {
      Status = MarkerCode;
      Resume = MarkerAt + 1;
    }
  }
  void Consume(int n) {
    Acc <<= n;
    NBits -= n;
  }
  ULONG GetBits(int n) {
    if (n <= 0 || Status) return 0;
    if (NBits < n) {
      Fill();
      if (NBits < n) {
        MarkerEvent();
        return 0;
      }
    }
    ULONG v = ULONG(Acc >> (64 - n));
    Consume(n);
    return v;
  }
  // A code longer than the lookahead, with at least 16 bits buffered.
  int DecodeLong(const JpegHuffTable& t) {
    int len = kJpegLookaheadBits;
    LONG code;
    for (;;) {
      if (++len > 16) {
        Consume(16);
        Status = kJpegStatusCodeError;
        return 0;
      }
      code = LONG(Acc >> (64 - len));
      if (code <= t.MaxCode[len]) break;
    }
    Consume(len);
    LONG idx = code + t.ValPtr[len] - t.MinCode[len];
    idx = idx < 0 ? 0 : (idx > 255 ? 255 : idx);
    return int(t.HuffVal[idx]);
  }
  int DecodeHuffman(const JpegHuffTable& t) {
    if (Status) return 0;
    if (NBits < 16) Fill();
    USHORT e = t.Lookahead[Acc >> (64 - kJpegLookaheadBits)];
    if (e && (e >> 8) <= NBits) {
      Consume(e >> 8);
      return e & 0xFF;
    }
    if (NBits >= 16) return DecodeLong(t);
    return DecodeHuffmanBits(*this, t);  // a marker or the end is near
  }
  void Restart() {
    Status = kJpegStatusOk;
    FillPos = Resume;
    MarkerPending = MarkerHit = FALSE;
    Acc = 0;
    NBits = 0;
  }
  void Report(const UCHAR* frame, const UCHAR* entropy, JpegDecodeState* s) const {
    const UCHAR* pos;
    if (MarkerHit) {
      pos = Resume;
    } else {
      // Whole bytes still buffered have not been loaded by the plain reader;
      // a buffered FF came from FF 00.
      pos = FillPos;
      for (int j = 0; j < NBits / 8; ++j) {
        UCHAR b = UCHAR(Acc >> (64 - NBits + 8 * j));
        pos -= b == 0xFF ? 2 : 1;
      }
    }
    s->Offset = ULONG(pos - frame);
    s->BitsLeft = ULONG(NBits % 8);
    s->BitsTaken = Loaded * 8 - ULONG(NBits);
    s->BytesConsumed = ULONG(pos - entropy);
  }
};

// DC difference of one block (T.81 F.2.2.1), with every check of a reader
// that may meet a marker or the end of the data.
template <class Reader>
LONG DecodeDcCareful(Reader& rd, const JpegHuffTable& t) {
  int s = rd.DecodeHuffman(t);
  if (rd.Status) return 0;
  if (s > 11) {
    rd.Status = kJpegStatusCodeError;
    return 0;
  }
  ULONG v = rd.GetBits(s);
  if (rd.Status) return 0;
  return Extend(v, s);
}

template <class Reader>
LONG DecodeDc(Reader& rd, const JpegHuffTable& t) {
  return DecodeDcCareful(rd, t);
}

// The same on the wide reader: while 32 bits are buffered, the code (at most
// 16 bits) and its difference bits (at most 11) cannot reach a marker or the
// end of the data, so the checks of the general path fall away.
template <>
LONG DecodeDc(FastReader& rd, const JpegHuffTable& t) {
  if (!rd.Status && rd.NBits < 32) rd.Fill();
  if (rd.Status || rd.NBits < 32) return DecodeDcCareful(rd, t);
  int s;
  const USHORT e = t.Lookahead[rd.Acc >> (64 - kJpegLookaheadBits)];
  if (e) {
    rd.Consume(e >> 8);
    s = e & 0xFF;
  } else {
    s = rd.DecodeLong(t);
    if (rd.Status) return 0;
  }
  if (s > 11) {
    rd.Status = kJpegStatusCodeError;
    return 0;
  }
  if (s == 0) return 0;
  const ULONG v = ULONG(rd.Acc >> (64 - s));
  rd.Consume(s);
  return Extend(v, s);
}

// One AC step on any reader: returns false when the block ends (end of
// block or a status).
template <class Reader>
inline bool AcStep(Reader& rd, const JpegHuffTable& t, const SHORT* quant, SHORT* blk, int& k, int& last) {
  int rs = rd.DecodeHuffman(t);
  if (rd.Status) return false;
  int r = rs >> 4, s = rs & 15;
  if (s) {
    k += r;
    if (k > 63) {  // a run past the block: corrupt data
      rd.Status = kJpegStatusCodeError;
      return false;
    }
    ULONG v = rd.GetBits(s);
    if (rd.Status) return false;
    blk[kJpegZigzagToPosition[k]] = SHORT(SHORT(Extend(v, s)) * quant[k]);
    last = k++;
    return true;
  }
  if (r == 15) {
    k += 16;
    return true;
  }
  return false;
}

// AC coefficients 1..63 of a block (T.81 F.2.2.2), each multiplied by its
// quantisation value (zigzag order, low 16 bits of the product) and stored
// at its position in the transform's order; returns the zigzag index of the
// last one written, 0 when none. blk[1..63] are zero on entry.
int DecodeAc(BitReader& rd, const JpegHuffTable& t, const SHORT* quant, SHORT* blk) {
  int k = 1, last = 0;
  while (k < 64 && AcStep(rd, t, quant, blk, k, last)) {
  }
  return rd.Status ? 0 : last;
}

int DecodeAc(FastReader& rd, const JpegHuffTable& t, const SHORT* quant, SHORT* blk) {
  // The bit buffer lives in registers for the fast steps and goes back to
  // the reader around everything that uses the reader itself.
  ULONGLONG acc = rd.Acc;
  int nbits = rd.NBits;
  int k = 1, last = 0;
  while (k < 64) {
    if (nbits < 32) {
      rd.Acc = acc;
      rd.NBits = nbits;
      rd.Fill();
      acc = rd.Acc;
      nbits = rd.NBits;
      if (nbits < 32) {
        // A marker or the end of the data is within reach: careful steps.
        const bool more = AcStep(rd, t, quant, blk, k, last);
        acc = rd.Acc;
        nbits = rd.NBits;
        if (!more) break;
        continue;
      }
    }
    // The code (at most 16 bits) and its extra bits (at most 15) are buffered.
    const LONG f = t.AcLookahead[acc >> (64 - kJpegLookaheadBits)];
    const int step = (f >> 8) & 0xFF;
    if (__builtin_expect(step < 16, 1)) {  // a coefficient after a run of step zeros
      k += step;
      if (__builtin_expect(k > 63, 0)) {
        const int codeLength = (f >> 16) & 15;  // the code only: the bit-by-bit decoder stops before the value
        rd.Acc = acc << codeLength;
        rd.NBits = nbits - codeLength;
        rd.Status = kJpegStatusCodeError;
        return 0;
      }
      acc <<= f & 0xFF;
      nbits -= f & 0xFF;
      blk[kJpegZigzagToPosition[k]] = SHORT(SHORT(f >> 20) * quant[k]);
      last = k++;
      continue;
    }
    if (step == kJpegAcZeroRun) {
      acc <<= f & 0xFF;
      nbits -= f & 0xFF;
      k += 16;
      continue;
    }
    if (step == kJpegAcEndOfBlock) {
      acc <<= f & 0xFF;
      nbits -= f & 0xFF;
      break;
    }
    int rs;
    const USHORT e = t.Lookahead[acc >> (64 - kJpegLookaheadBits)];
    if (e) {
      acc <<= e >> 8;
      nbits -= e >> 8;
      rs = e & 0xFF;
    } else {
      rd.Acc = acc;
      rd.NBits = nbits;
      rs = rd.DecodeLong(t);
      if (rd.Status) return 0;
      acc = rd.Acc;
      nbits = rd.NBits;
    }
    const int r = rs >> 4, s = rs & 15;
    if (s) {
      k += r;
      if (k > 63) {
        rd.Acc = acc;
        rd.NBits = nbits;
        rd.Status = kJpegStatusCodeError;
        return 0;
      }
      const ULONG v = ULONG(acc >> (64 - s));
      acc <<= s;
      nbits -= s;
      blk[kJpegZigzagToPosition[k]] = SHORT(SHORT(Extend(v, s)) * quant[k]);
      last = k++;
    } else if (r == 15) {
      k += 16;
    } else {
      break;
    }
  }
  rd.Acc = acc;
  rd.NBits = nbits;
  return rd.Status ? 0 : last;
}

// ---- MCU loops ---------------------------------------------------------------------

enum ScanKind {
  kScanI420From420,    // Y 2x2: four Y blocks, chroma 8x8 into the quarter planes
  kScanI420From422,    // Y 2x1: two Y blocks, chroma 8x8 halved to 8x4
  kScanPlanarFrom422,  // Y 2x1 into planar 4:2:2 for the BGR conversion
  kScanPlanarFrom420,  // Y 2x2 into planar 4:2:0, each chroma row serving two luma rows
};

struct ScanTarget {
  ScanKind Kind;
  int Width, Height;
  UCHAR* Y;
  UCHAR* Cb;
  UCHAR* Cr;
  int ChromaWidth, ChromaHeight;  // chroma plane size; the stride is ChromaWidth
  UCHAR* Bgr;  // planar loops: the bottom-up picture the planes convert into
};

// Converts picture rows [from, to) of the planar planes into the bottom-up
// BGR picture (source row r goes to output row height - 1 - r); with 4:2:0
// planes, chroma row r / 2 serves luma rows r and r + 1, converted together. The planar loops call it after
// each MCU row, while that row's planes are still in the cache; rows are
// final once their MCU row is done.
void ConvertRows(const ScanTarget& t, int from, int to) {
  if (to > t.Height) to = t.Height;
  const size_t rowBytes = size_t(t.Width) * 3;
  if (t.Kind == kScanPlanarFrom420) {
    // from is even (a multiple of 16) and so is the height: whole pairs.
    for (int r = from; r + 1 < to; r += 2) {
      const size_t c = size_t(r >> 1) * size_t(t.ChromaWidth);
      JpegRowPairToBgr(t.Y + size_t(r) * size_t(t.Width), t.Y + size_t(r + 1) * size_t(t.Width), t.Cb + c, t.Cr + c,
                       t.Width, t.Bgr + size_t(t.Height - 1 - r) * rowBytes, t.Bgr + size_t(t.Height - 2 - r) * rowBytes);
    }
    return;
  }
  for (int r = from; r < to; ++r) {
    const size_t c = size_t(r) * size_t(t.ChromaWidth);
    JpegRowToBgr(t.Y + size_t(r) * size_t(t.Width), t.Cb + c, t.Cr + c, t.Width,
                 t.Bgr + size_t(t.Height - 1 - r) * rowBytes);
  }
}

// Writes rows of 8 bytes at (x, y), clipped to the plane: partial MCUs at
// the right and bottom edges stay inside.
inline void PutRows(const UCHAR* src, int rows, UCHAR* plane, int pw, int ph, int x, int y) {
  if (x >= pw || y >= ph) return;
  int cols = pw - x < 8 ? pw - x : 8;
  int n = rows;
  if (y + n > ph) n = ph - y;
  UCHAR* d = plane + size_t(y) * size_t(pw) + size_t(x);
  for (int r = 0; r < n; ++r, d += pw) {
    const UCHAR* s = src + 8 * r;
    if (cols == 8)
      std::memcpy(d, s, 8);
    else
      std::memcpy(d, s, size_t(cols));
  }
}

constexpr bool HasFourLumaBlocks(ScanKind k) { return k == kScanI420From420 || k == kScanPlanarFrom420; }

// Inverse DCT and store of the dequantised block in g_Jpeg.Block, block b of
// the MCU at (mx, my); last is the zigzag index of its last coefficient.
// Leaves the block clear.
template <ScanKind K>
inline void FinishBlock(const ScanTarget& t, int b, int mx, int my, int last) {
  constexpr bool fourY = HasFourLumaBlocks(K);
  constexpr int lumaBlocks = fourY ? 4 : 2;
  const bool luma = b < lumaBlocks;
  SHORT* blk = g_Jpeg.Block;

  // Where the block goes, and how many rows it fills there.
  UCHAR* plane;
  int pw, ph, x, y, rows = 8;
  if (luma) {
    plane = t.Y;
    pw = t.Width;
    ph = t.Height;
    x = 16 * mx + 8 * (b & 1);
    y = (fourY ? 16 : 8) * my + 8 * (b >> 1);
  } else {
    plane = b == lumaBlocks ? t.Cb : t.Cr;
    pw = t.ChromaWidth;
    ph = t.ChromaHeight;
    x = 8 * mx;
    y = 8 * my;
    if (K == kScanI420From422) {
      rows = 4;  // 8x8 chroma to 8x4: row pairs averaged
      y = 4 * my;
    }
  }
  if (rows == 4 && x + 8 <= pw && y + 4 <= ph) {
    // Halved straight into the plane.
    UCHAR* out = plane + size_t(y) * size_t(pw) + size_t(x);
    if (last == 0) {
      const SHORT dc = blk[0];
      blk[0] = 0;
      JpegIdctDcOnlyToHalvedBytes(dc, out, pw);
    } else {
      JpegIdctToHalvedBytes(blk, out, pw);
      JpegZeroBlock(blk);
    }
    return;
  }
  const bool direct = rows == 8 && x + 8 <= pw && y + 8 <= ph;
  UCHAR* out = direct ? plane + size_t(y) * size_t(pw) + size_t(x) : g_Jpeg.Pixels;
  const int stride = direct ? pw : 8;
  if (last == 0) {
    const SHORT dc = blk[0];  // a DC-only block
    blk[0] = 0;
    JpegIdctDcOnlyToBytes(dc, out, stride);
  } else {
    JpegIdctToBytes(blk, out, stride);
    JpegZeroBlock(blk);
  }
  if (direct) return;
  if (rows == 4) {
    JpegHalveRows(g_Jpeg.Pixels, g_Jpeg.Halved);
    PutRows(g_Jpeg.Halved, 4, plane, pw, ph, x, y);
  } else {
    PutRows(g_Jpeg.Pixels, 8, plane, pw, ph, x, y);
  }
}

// Decodes every MCU of the scan. Y blocks use tables 0 and the luma
// quantisation table, Cb and Cr tables 1 and the chroma table, whatever the
// headers name. Returns 0 or the status that ended the decode.
//
// Restart-class markers: the I420 loop for 4:2:0 accepts none. The I420 loop
// for 4:2:2 accepts one at the first DC of an MCU (where an encoder puts
// them): predictors restart at 0 and that DC is decoded again. The planar
// loops also accept one after any block and decode the MCU again from its
// first block at the same place.
template <ScanKind K, class Reader>
UCHAR RunScan(Reader& rd, const ScanTarget& t, ULONG* mcuCount) {
  constexpr bool fourY = HasFourLumaBlocks(K);
  constexpr int blocks = fourY ? 6 : 4;
  constexpr bool restartAtFirstDc = K != kScanI420From420;
  constexpr bool restartAnyBlock = K == kScanPlanarFrom422 || K == kScanPlanarFrom420;
  const int mcusX = (t.Width + 15) / 16;
  const int mcusY = fourY ? (t.Height + 15) / 16 : (t.Height + 7) / 8;
  SHORT* blk = g_Jpeg.Block;

  for (int my = 0; my < mcusY; ++my) {
    for (int mx = 0; mx < mcusX; ++mx) {
      int b = 0;
      while (b < blocks) {
        const int comp = b < blocks - 2 ? 0 : (b == blocks - 2 ? 1 : 2);
        const int tab = comp == 0 ? 0 : 1;
        const SHORT* quant = g_Jpeg.Quant[tab];
        LONG diff = DecodeDc(rd, g_Jpeg.Huff[tab]);
        if (rd.Status) {
          if (rd.Status == kJpegStatusRestart && ((b == 0 && restartAtFirstDc) || restartAnyBlock)) {
            rd.Restart();
            g_Jpeg.Pred[0] = g_Jpeg.Pred[1] = g_Jpeg.Pred[2] = 0;
            b = 0;
            continue;
          }
          return rd.Status;
        }
        g_Jpeg.Pred[comp] = SHORT(g_Jpeg.Pred[comp] + diff);
        blk[0] = SHORT(g_Jpeg.Pred[comp] * quant[0]);
        int last = DecodeAc(rd, g_Jpeg.Huff[2 + tab], quant, blk);
        if (rd.Status) {
          if (rd.Status == kJpegStatusRestart && restartAnyBlock) {
            JpegZeroBlock(blk);  // the broken block may have left coefficients
            rd.Restart();
            g_Jpeg.Pred[0] = g_Jpeg.Pred[1] = g_Jpeg.Pred[2] = 0;
            b = 0;
            continue;
          }
          return rd.Status;
        }
        FinishBlock<K>(t, b, mx, my, last);
        ++b;
      }
      ++*mcuCount;
    }
    if (t.Bgr) ConvertRows(t, my * (fourY ? 16 : 8), (my + 1) * (fourY ? 16 : 8));
  }
  return kJpegStatusOk;
}

template <class Reader>
UCHAR RunScanOfKind(Reader& rd, const ScanTarget& t, ULONG* mcuCount) {
  switch (t.Kind) {
    case kScanI420From420:
      return RunScan<kScanI420From420>(rd, t, mcuCount);
    case kScanI420From422:
      return RunScan<kScanI420From422>(rd, t, mcuCount);
    case kScanPlanarFrom422:
      return RunScan<kScanPlanarFrom422>(rd, t, mcuCount);
    case kScanPlanarFrom420:
      break;
  }
  return RunScan<kScanPlanarFrom420>(rd, t, mcuCount);
}

UCHAR RunScanWithReader(const UCHAR* frame, const UCHAR* entropy, const UCHAR* end, const ScanTarget& t) {
  g_Jpeg.Pred[0] = g_Jpeg.Pred[1] = g_Jpeg.Pred[2] = 0;
  // The block is kept clear between blocks; a decode that failed inside a
  // block may have left values behind.
  JpegZeroBlock(g_Jpeg.Block);
  JpegDecodeState& s = g_Jpeg.Last;
  s = JpegDecodeState{};
  if (g_Jpeg.BitByBit) {
    BitReader rd;
    rd.Start(entropy, end);
    s.Status = RunScanOfKind(rd, t, &s.McuCount);
    rd.Report(frame, entropy, &s);
  } else {
    FastReader rd;
    rd.Start(entropy, end);
    s.Status = RunScanOfKind(rd, t, &s.McuCount);
    rd.Report(frame, entropy, &s);
  }
  return s.Status;
}

// ---- the decode operations -------------------------------------------------------------

enum OutputKind { kOutputI420, kOutputRgb24 };

ULONG DecodeFrame(PUCHAR dst, ULONG dstLength, const UCHAR* src, ULONG srcLength, CameraDeviceState* stream,
                  OutputKind out) {
  g_Jpeg.Last = JpegDecodeState{};
  if (!dst || !src || !stream || !stream->ScratchBuffer) return 0;
  // The stream's own size defines the output; odd sizes have no chroma
  // layout in either format.
  const LONG w = stream->Width, h = stream->Height;
  if (w <= 0 || h <= 0 || w > 65535 || h > 65535 || (w & 1) || (h & 1)) return 0;
  const ULONGLONG pixels = ULONGLONG(w) * ULONGLONG(h);
  const ULONGLONG needed = out == kOutputRgb24 ? pixels * 3 : pixels + 2 * ULONGLONG(w / 2) * ULONGLONG(h / 2);
  if (ULONGLONG(dstLength) < needed) return 0;
  if (out == kOutputRgb24 && ULONGLONG(stream->ScratchSize) < pixels * 2) return 0;

  JpegFrameInfo fi;
  JpegScanInfo si;
  LONG offset = _DecodeJPEGHeader(src, srcLength, &fi, &si);
  if (offset <= 0) return 0;
  // Three 8-bit components of the stream's size, luma 2x1 or 2x2 over chroma
  // 1x1: anything else would decode to a wrong picture.
  if (fi.P != 8 || fi.Nf != 3 || si.Ns != 3 || fi.X != ULONG(w) || fi.Y != ULONG(h)) return 0;
  for (int c = 1; c < 3; ++c)
    if (fi.Component[c].H != 1 || fi.Component[c].V != 1) return 0;
  if (fi.Component[0].H != 2 || (fi.Component[0].V != 1 && fi.Component[0].V != 2)) return 0;
  const bool is420 = fi.Component[0].V == 2;

  ScanTarget t{};
  t.Width = w;
  t.Height = h;
  if (out == kOutputI420) {
    t.Kind = is420 ? kScanI420From420 : kScanI420From422;
    t.Y = dst;
    t.ChromaWidth = w / 2;
    t.ChromaHeight = h / 2;
    t.Cb = dst + pixels;
    t.Cr = t.Cb + size_t(w / 2) * size_t(h / 2);
  } else {
    t.Kind = is420 ? kScanPlanarFrom420 : kScanPlanarFrom422;
    t.Y = stream->ScratchBuffer;
    t.ChromaWidth = w / 2;
    t.ChromaHeight = is420 ? h / 2 : h;
    t.Cb = t.Y + pixels;
    t.Cr = t.Cb + size_t(t.ChromaWidth) * size_t(t.ChromaHeight);
    t.Bgr = dst;
  }
  if (RunScanWithReader(src, src + offset, src + srcLength, t) != kJpegStatusOk) return 0;
  return dstLength;
}

// Whether 16 counts and their symbols are those a table was built from.
bool SameHuffmanTable(const UCHAR* counts, const UCHAR* symbols, int total, const JpegHuffTable& t) {
  for (int l = 1; l <= 16; ++l)
    if (t.Bits[l] != counts[l - 1]) return false;
  for (int i = 0; i < total; ++i)
    if (t.HuffVal[i] != symbols[i]) return false;
  return true;
}

// The tables of a DHT segment [p, e), built into the staging tables; false
// when a table lies outside the model (class or id above 1, more than 256
// symbols, counts that overflow their lengths) or runs past the segment.
bool StageHuffmanTables(const UCHAR* p, const UCHAR* const e) {
  while (p < e) {
    if (e - p < 17) return false;
    const UCHAR tc = p[0] >> 4, th = p[0] & 15;
    if (tc > 1 || th > 1) return false;
    int total = 0;
    for (int i = 1; i <= 16; ++i) total += p[i];
    if (total > 256 || e - p < 17 + total || !HuffCountsFit(p + 1)) return false;
    const int index = th + 2 * tc;
    // Camera frames repeat the same tables in every frame: a table equal to
    // the one in force needs no building (the tables are built from the
    // counts and symbols alone), and it cancels an earlier one staged for
    // the same place in this header.
    if (SameHuffmanTable(p + 1, p + 17, total, g_Jpeg.Huff[index])) {
      g_Jpeg.StagedHuffSet[index] = FALSE;
    } else {
      BuildHuffTable(p + 1, p + 17, g_Jpeg.StagedHuff[index]);
      g_Jpeg.StagedHuffSet[index] = TRUE;
    }
    p += 17 + total;
  }
  return true;
}

// The 8-bit tables of a DQT segment [p, e), scaled by 16 into the staging
// tables; false for a 16-bit table, an id above 1 or a short table.
bool StageQuantTables(const UCHAR* p, const UCHAR* const e) {
  while (p < e) {
    if (e - p < 65) return false;
    const UCHAR pq = p[0] >> 4, tq = p[0] & 15;
    if (pq != 0 || tq > 1) return false;
    for (int k = 0; k < 64; ++k) g_Jpeg.StagedQuant[tq][k] = SHORT(p[1 + k] * 16);
    g_Jpeg.StagedQuantSet[tq] = TRUE;
    p += 65;
  }
  return true;
}

}  // namespace

// ---- header parse -----------------------------------------------------------------------
//
// Walks the markers from SOI to SOS. DHT and DQT segments are built into
// staging tables that replace the ones in force only when the header is
// accepted, so a rejected header leaves the decoder as it was. Every read is
// bounded by the segment and the segment by the data.

extern "C" __attribute__((visibility("default"))) LONG _DecodeJPEGHeader(const UCHAR* data, ULONG length,
                                                                        JpegFrameInfo* frameInfo,
                                                                        JpegScanInfo* scanInfo) {
  if (!data || length < 2 || data[0] != 0xFF || data[1] != 0xD8) return -1;
  for (int i = 0; i < 4; ++i) g_Jpeg.StagedHuffSet[i] = FALSE;
  g_Jpeg.StagedQuantSet[0] = g_Jpeg.StagedQuantSet[1] = FALSE;
  JpegFrameInfo frame{};
  bool haveFrame = false;
  ULONG pos = 2;

  for (;;) {
    if (pos >= length || ULONGLONG(pos) + 1 >= length || data[pos] != 0xFF) return 0;
    const UCHAR code = data[pos + 1];
    if ((code >= 0xD0 && code <= 0xD7) || code == 0xD9) {  // RSTn, EOI: no length
      pos += 2;
      continue;
    }
    if (ULONGLONG(pos) + 4 > length) return 0;
    const ULONG segLength = ReadBe16(data + pos + 2);
    if (segLength < 2 || ULONGLONG(pos) + 2 + segLength > length) return 0;
    const ULONG segEnd = pos + 2 + segLength;
    const UCHAR* p = data + pos + 4;           // first byte after the length
    const UCHAR* const e = data + segEnd;      // first byte after the segment

    switch (code) {
      case 0xC4:  // DHT: one or more tables
        if (!StageHuffmanTables(p, e)) return 0;
        break;
      case 0xDB:  // DQT: one or more 8-bit tables, id 0 luma, 1 chroma
        if (!StageQuantTables(p, e)) return 0;
        break;
      case 0xC0: {  // SOF0
        if (segLength < 8) return 0;
        const ULONG nf = p[5];
        if (nf > 4 || segLength < 8 + 3 * nf) return 0;
        frame = JpegFrameInfo{};
        frame.P = p[0];
        frame.Y = ReadBe16(p + 1);
        frame.X = ReadBe16(p + 3);
        frame.Nf = nf;
        for (ULONG c = 0; c < nf; ++c) {
          frame.Component[c].C = p[6 + 3 * c];
          frame.Component[c].H = p[7 + 3 * c] >> 4;
          frame.Component[c].V = p[7 + 3 * c] & 15;
          frame.Component[c].Tq = p[8 + 3 * c];
        }
        haveFrame = true;
        break;
      }
      case 0xDA: {  // SOS: the entropy-coded data follows
        if (segLength < 3) return 0;
        const ULONG ns = p[0];
        if (ns == 0 || ns > 3 || segLength < 6 + 2 * ns || !haveFrame || segEnd > 0x7FFFFFFFu) return 0;
        JpegScanInfo scan{};
        scan.Ls = segLength;
        scan.Ns = ns;
        for (ULONG c = 0; c < ns; ++c) {
          scan.Component[c].Cs = p[1 + 2 * c];
          scan.Component[c].Td = p[2 + 2 * c] >> 4;
          scan.Component[c].Ta = p[2 + 2 * c] & 15;
        }
        scan.Ss = p[1 + 2 * ns];
        scan.Se = p[2 + 2 * ns];
        scan.Ah = p[3 + 2 * ns] >> 4;
        scan.Al = p[3 + 2 * ns] & 15;
        for (int i = 0; i < 4; ++i)
          if (g_Jpeg.StagedHuffSet[i]) g_Jpeg.Huff[i] = g_Jpeg.StagedHuff[i];
        for (int i = 0; i < 2; ++i)
          if (g_Jpeg.StagedQuantSet[i]) std::memcpy(g_Jpeg.Quant[i], g_Jpeg.StagedQuant[i], sizeof(g_Jpeg.Quant[i]));
        if (frameInfo) *frameInfo = frame;
        if (scanInfo) *scanInfo = scan;
        return LONG(segEnd);
      }
      case 0xDC:  // DNL
      case 0xDD:  // DRI: restart markers are recognised in the data itself
      case 0xFE:  // COM
        break;
      default:  // APPn, other frame types, DAC, ...
        return 0;
    }
    pos = segEnd;
  }
}

ULONG DecodeJPEGToI420(PUCHAR dst, ULONG dstLength, const UCHAR* src, ULONG srcLength, CameraDeviceState* stream) {
  return DecodeFrame(dst, dstLength, src, srcLength, stream, kOutputI420);
}

ULONG DecodeJPEGToRGB24(PUCHAR dst, ULONG dstLength, const UCHAR* src, ULONG srcLength, CameraDeviceState* stream) {
  return DecodeFrame(dst, dstLength, src, srcLength, stream, kOutputRgb24);
}

// ---- inside views --------------------------------------------------------------------------

void JpegResetTables() {
  for (int i = 0; i < 4; ++i) g_Jpeg.Huff[i] = kAnnexKTables[i];
  std::memset(g_Jpeg.Quant, 0, sizeof(g_Jpeg.Quant));
}

void JpegUseBitByBitDecoder(bool enable) { g_Jpeg.BitByBit = enable ? TRUE : FALSE; }

void JpegGetLastDecodeState(JpegDecodeState* state) {
  if (state) *state = g_Jpeg.Last;
}

const JpegHuffTable* JpegGetHuffTable(int index) { return index >= 0 && index < 4 ? &g_Jpeg.Huff[index] : nullptr; }

const SHORT* JpegGetQuantTable(int index) { return index >= 0 && index < 2 ? g_Jpeg.Quant[index] : nullptr; }
