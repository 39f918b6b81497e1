// Kernel services of the simulated PC that need no machine state: pool,
// counted strings, debugger output, system time and delays, and the kernel C
// library's random numbers.
#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "platform/nt/ntddk.h"
#include "platform/nt/platform_control.h"

namespace {

// ---- pool -------------------------------------------------------------------
// Every block handed out is remembered, so that freeing something that is not a
// live block is caught at the call instead of corrupting the heap later.
struct PoolState {
  std::mutex lock;
  std::unordered_set<void*> live;
  long failAfter = -1;
};
PoolState& Pool() {
  static PoolState* state = new PoolState;  // never destroyed: threads may free during exit
  return *state;
}

// ---- debug output -------------------------------------------------------------
struct DebugState {
  std::recursive_mutex lock;
  std::function<void(const std::string&)> sink;
  bool haveSink = false;
};
DebugState& Debug() {
  static DebugState* state = new DebugState;
  return *state;
}

void DefaultSink(const std::string& line) {
  static const bool enabled = std::getenv("QCAM_DEBUG") != nullptr;
  if (enabled) std::fprintf(stderr, "%s\n", line.c_str());
}

// ---- time -----------------------------------------------------------------------
constexpr int64_t kEpochDelta1601 = 116444736000000000LL;  // 1601-01-01 to 1970-01-01 in 100 ns
std::atomic<int64_t> g_testClock{-1};

int64_t HostTime100ns() {
  using namespace std::chrono;
  return duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count() / 100 + kEpochDelta1601;
}

// ---- rand -------------------------------------------------------------------------
std::atomic<uint32_t> g_randSeed{1};

// ---- UTF-8 / UTF-16 -------------------------------------------------------------------
void AppendUtf8(std::string* out, uint32_t cp) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Decodes one UTF-8 sequence at s[i]; returns its length, or 0 when the bytes
// there are not a well-formed sequence.
size_t DecodeUtf8(const std::string& s, size_t i, uint32_t* cp) {
  const unsigned char b0 = static_cast<unsigned char>(s[i]);
  size_t len;
  uint32_t v, min;
  if (b0 < 0x80) {
    *cp = b0;
    return 1;
  } else if ((b0 & 0xE0) == 0xC0) {
    len = 2, v = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, v = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, v = b0 & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    const unsigned char b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    v = (v << 6) | (b & 0x3F);
  }
  if (v < min || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 0;
  *cp = v;
  return len;
}

size_t WideLength(const WCHAR* s) {
  size_t n = 0;
  while (s[n]) ++n;
  return n;
}

// ---- DbgPrint formatting ----------------------------------------------------------------
// Formats like printf, reduced to the conversions the package's messages use:
// integers (%d %i %u %x %X) with the kernel's I64/I32/I and the ll/l length
// prefixes, characters (%c, %C, %wc), strings (%s, %S, %ws, %wZ for a
// UNICODE_STRING*) and pointers (%p), each with flags, width and precision.
// %ls and %lc are taken as WCHAR since the package's wide characters are
// 16-bit. %n consumes its pointer and writes nothing; any other conversion is
// shown as written.

// One conversion's flags, width, precision and length.
struct ConversionForm {
  std::string printfPrefix = "%";  // flags, width and precision in printf form
  int width = -1;                  // from '*'
  bool hasWidth = false;
  int precision = -1;
  bool hasPrecision = false;
  enum Length { kInt, kLong, kLongLong, kSize, kWide } length = kInt;
};

// Reads flags, width, precision and length after '%'; `p` ends on the
// conversion character.
const char* ReadConversionForm(const char* p, va_list* ap, ConversionForm* form) {
  while (*p && std::strchr("-+ #0", *p)) form->printfPrefix.push_back(*p++);
  if (*p == '*') {
    form->width = va_arg(*ap, int);
    form->hasWidth = true;
    form->printfPrefix += std::to_string(form->width);
    ++p;
  } else {
    while (*p >= '0' && *p <= '9') form->printfPrefix.push_back(*p++);
  }
  if (*p == '.') {
    ++p;
    form->hasPrecision = true;
    if (*p == '*') {
      form->precision = va_arg(*ap, int);
      ++p;
      if (form->precision >= 0) form->printfPrefix += "." + std::to_string(form->precision);
    } else {
      std::string digits;
      while (*p >= '0' && *p <= '9') digits.push_back(*p++);
      form->precision = digits.empty() ? 0 : std::atoi(digits.c_str());
      form->printfPrefix += "." + std::to_string(form->precision);
    }
  }
  if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
    form->length = ConversionForm::kLongLong, p += 3;
  } else if (p[0] == 'I' && p[1] == '3' && p[2] == '2') {
    form->length = ConversionForm::kInt, p += 3;
  } else if (*p == 'I') {
    form->length = ConversionForm::kSize, ++p;
  } else if (p[0] == 'l' && p[1] == 'l') {
    form->length = ConversionForm::kLongLong, p += 2;
  } else if (*p == 'l') {
    form->length = ConversionForm::kLong, ++p;
  } else if (*p == 'w') {
    form->length = ConversionForm::kWide, ++p;
  }
  return p;
}

// Appends `text` cut to the precision (when `cut`) and padded to the width.
void AppendPadded(std::string* out, const ConversionForm& form, std::string text, bool cut) {
  if (cut && form.hasPrecision && form.precision >= 0 && static_cast<size_t>(form.precision) < text.size())
    text.resize(form.precision);
  const std::string f = form.printfPrefix.substr(1);
  bool left = f.find('-') != std::string::npos;
  size_t w = 0;
  if (form.hasWidth) {
    if (form.width < 0) left = true;
    w = static_cast<size_t>(form.width < 0 ? -static_cast<long>(form.width) : form.width);
  } else {
    size_t i = 0;
    while (i < f.size() && std::strchr("-+ #0", f[i])) ++i;
    w = static_cast<size_t>(std::atoi(f.c_str() + i));
  }
  if (text.size() < w) {
    if (left)
      text.append(w - text.size(), ' ');
    else
      text.insert(0, w - text.size(), ' ');
  }
  *out += text;
}

void AppendInteger(std::string* out, const ConversionForm& form, char conv, va_list* ap) {
  char buf[512];
  const bool isSigned = conv == 'd' || conv == 'i';
  std::string f = form.printfPrefix;
  if (form.length == ConversionForm::kInt || form.length == ConversionForm::kWide) {
    f.push_back(conv);
    std::snprintf(buf, sizeof buf, f.c_str(), va_arg(*ap, int));
  } else {
    f += "ll";
    f.push_back(conv);
    long long v;
    if (form.length == ConversionForm::kLongLong)
      v = va_arg(*ap, long long);
    else if (form.length == ConversionForm::kSize)
      v = isSigned ? static_cast<long long>(va_arg(*ap, ptrdiff_t)) : static_cast<long long>(va_arg(*ap, size_t));
    else
      v = isSigned ? static_cast<long long>(va_arg(*ap, long)) : static_cast<long long>(va_arg(*ap, unsigned long));
    if (isSigned)
      std::snprintf(buf, sizeof buf, f.c_str(), v);
    else
      std::snprintf(buf, sizeof buf, f.c_str(), static_cast<unsigned long long>(v));
  }
  *out += buf;
}

// A WCHAR string, the precision counting characters.
void AppendWideString(std::string* out, const ConversionForm& form, const WCHAR* w) {
  if (!w) {
    AppendPadded(out, form, "(null)", true);
    return;
  }
  size_t n = 0;
  if (form.hasPrecision && form.precision >= 0) {
    while (n < static_cast<size_t>(form.precision) && w[n]) ++n;
  } else {
    n = WideLength(w);
  }
  AppendPadded(out, form, platform::Narrow(w, n), false);
}

void AppendString(std::string* out, const ConversionForm& form, const char* s) {
  if (!s)
    AppendPadded(out, form, "(null)", true);
  else if (form.hasPrecision && form.precision >= 0)
    AppendPadded(out, form, std::string(s, strnlen(s, static_cast<size_t>(form.precision))), true);
  else
    AppendPadded(out, form, s, true);
}

std::string FormatKernel(const char* fmt, va_list argList) {
  // A copy the helpers can advance through a pointer (va_list may be an array).
  va_list args;
  va_copy(args, argList);
  va_list* ap = &args;
  std::string out;
  for (const char* p = fmt; *p;) {
    if (*p != '%') {
      out.push_back(*p++);
      continue;
    }
    const char* start = p++;
    if (*p == '%') {
      out.push_back('%');
      ++p;
      continue;
    }
    ConversionForm form;
    p = ReadConversionForm(p, ap, &form);
    const char conv = *p;
    if (!conv) {
      out.append(start);
      break;
    }
    ++p;
    const bool wide = form.length == ConversionForm::kWide || form.length == ConversionForm::kLong;
    switch (conv) {
      case 'd':
      case 'i':
      case 'u':
      case 'x':
      case 'X':
        AppendInteger(&out, form, conv, ap);
        break;
      case 'c':
      case 'C':
        if (conv == 'C' || wide) {
          const WCHAR c = static_cast<WCHAR>(va_arg(*ap, int));
          AppendPadded(&out, form, platform::Narrow(&c, 1), false);
        } else {
          AppendPadded(&out, form, std::string(1, static_cast<char>(va_arg(*ap, int))), false);
        }
        break;
      case 's':
      case 'S':
        if (conv == 'S' || wide)
          AppendWideString(&out, form, va_arg(*ap, const WCHAR*));
        else
          AppendString(&out, form, va_arg(*ap, const char*));
        break;
      case 'Z':
        if (form.length == ConversionForm::kWide) {
          const UNICODE_STRING* u = va_arg(*ap, const UNICODE_STRING*);
          AppendPadded(&out, form,
                       u && u->Buffer ? platform::Narrow(u->Buffer, u->Length / sizeof(WCHAR)) : std::string("(null)"),
                       true);
        } else {
          out.append(start, p);
        }
        break;
      case 'p': {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%p", va_arg(*ap, void*));
        AppendPadded(&out, form, buf, true);
        break;
      }
      case 'n':
        (void)va_arg(*ap, void*);  // never write through a format argument
        break;
      default:
        out.append(start, p);  // a conversion the package does not use: shown as written
        break;
    }
  }
  va_end(args);
  return out;
}

}  // namespace

// ---- pool ---------------------------------------------------------------------------
PVOID ExAllocatePool(POOL_TYPE PoolType, size_t NumberOfBytes) {
  PoolState& pool = Pool();
  std::lock_guard<std::mutex> guard(pool.lock);
  if (pool.failAfter == 0) return nullptr;
  void* p = std::malloc(NumberOfBytes ? NumberOfBytes : 1);
  if (!p) return nullptr;
  if (pool.failAfter > 0) --pool.failAfter;
  pool.live.insert(p);
  return p;
}

PVOID ExAllocatePoolWithTag(POOL_TYPE PoolType, size_t NumberOfBytes, ULONG Tag) {
  return ExAllocatePool(PoolType, NumberOfBytes);
}

VOID ExFreePool(PVOID P) {
  if (!P) {
    DbgPrint("ExFreePool: null block ignored\n");
    return;
  }
  PoolState& pool = Pool();
  {
    std::lock_guard<std::mutex> guard(pool.lock);
    if (pool.live.erase(P) == 1) {
      std::free(P);
      return;
    }
  }
  // Freeing a block that is not live is what stops a real machine; stop here.
  std::fprintf(stderr, "ExFreePool: %p is not a live pool block (double free or foreign pointer)\n", P);
  std::abort();
}

// ---- counted strings -------------------------------------------------------------------
VOID RtlInitAnsiString(PANSI_STRING Destination, PCSTR Source) {
  if (!Destination) return;
  if (!Source) {
    Destination->Length = Destination->MaximumLength = 0;
    Destination->Buffer = nullptr;
    return;
  }
  size_t n = std::strlen(Source);
  if (n > 0xFFFE) n = 0xFFFE;
  Destination->Length = static_cast<USHORT>(n);
  Destination->MaximumLength = static_cast<USHORT>(n + 1);
  Destination->Buffer = const_cast<PCHAR>(Source);
}

VOID RtlInitUnicodeString(PUNICODE_STRING Destination, PCWSTR Source) {
  if (!Destination) return;
  if (!Source) {
    Destination->Length = Destination->MaximumLength = 0;
    Destination->Buffer = nullptr;
    return;
  }
  size_t n = WideLength(Source) * sizeof(WCHAR);
  if (n > 0xFFFC) n = 0xFFFC;
  Destination->Length = static_cast<USHORT>(n);
  Destination->MaximumLength = static_cast<USHORT>(n + sizeof(WCHAR));
  Destination->Buffer = const_cast<PWSTR>(Source);
}

NTSTATUS RtlAnsiStringToUnicodeString(PUNICODE_STRING Destination, const ANSI_STRING* Source,
                                      BOOLEAN AllocateDestinationString) {
  if (!Destination || !Source || (Source->Length && !Source->Buffer)) return STATUS_INVALID_PARAMETER;
  const std::u16string wide = platform::Widen(std::string(Source->Buffer ? Source->Buffer : "", Source->Length));
  const size_t bytes = wide.size() * sizeof(WCHAR);
  if (bytes > 0xFFFC) return STATUS_INVALID_PARAMETER;
  if (AllocateDestinationString) {
    PWSTR buffer = static_cast<PWSTR>(ExAllocatePool(PagedPool, bytes + sizeof(WCHAR)));
    if (!buffer) return STATUS_INSUFFICIENT_RESOURCES;
    std::memcpy(buffer, wide.data(), bytes);
    buffer[wide.size()] = 0;
    Destination->Buffer = buffer;
    Destination->Length = static_cast<USHORT>(bytes);
    Destination->MaximumLength = static_cast<USHORT>(bytes + sizeof(WCHAR));
    return STATUS_SUCCESS;
  }
  if (!Destination->Buffer || bytes > Destination->MaximumLength) return STATUS_BUFFER_OVERFLOW;
  std::memcpy(Destination->Buffer, wide.data(), bytes);
  if (bytes + sizeof(WCHAR) <= Destination->MaximumLength) Destination->Buffer[wide.size()] = 0;
  Destination->Length = static_cast<USHORT>(bytes);
  return STATUS_SUCCESS;
}

NTSTATUS RtlUnicodeStringToAnsiString(PANSI_STRING Destination, PCUNICODE_STRING Source,
                                      BOOLEAN AllocateDestinationString) {
  if (!Destination || !Source || (Source->Length && !Source->Buffer)) return STATUS_INVALID_PARAMETER;
  const std::string narrow = platform::Narrow(Source->Buffer, Source->Length / sizeof(WCHAR));
  if (narrow.size() > 0xFFFE) return STATUS_INVALID_PARAMETER;
  if (AllocateDestinationString) {
    PCHAR buffer = static_cast<PCHAR>(ExAllocatePool(PagedPool, narrow.size() + 1));
    if (!buffer) return STATUS_INSUFFICIENT_RESOURCES;
    std::memcpy(buffer, narrow.data(), narrow.size());
    buffer[narrow.size()] = 0;
    Destination->Buffer = buffer;
    Destination->Length = static_cast<USHORT>(narrow.size());
    Destination->MaximumLength = static_cast<USHORT>(narrow.size() + 1);
    return STATUS_SUCCESS;
  }
  if (!Destination->Buffer || Destination->MaximumLength == 0) return STATUS_BUFFER_OVERFLOW;
  // A short buffer receives as much as fits, terminated, and the call says so.
  size_t n = narrow.size();
  NTSTATUS status = STATUS_SUCCESS;
  if (n + 1 > Destination->MaximumLength) {
    n = Destination->MaximumLength - 1u;
    status = STATUS_BUFFER_OVERFLOW;
  }
  std::memcpy(Destination->Buffer, narrow.data(), n);
  Destination->Buffer[n] = 0;
  Destination->Length = static_cast<USHORT>(n);
  return status;
}

VOID RtlFreeUnicodeString(PUNICODE_STRING UnicodeString) {
  if (!UnicodeString) return;
  if (UnicodeString->Buffer) ExFreePool(UnicodeString->Buffer);
  UnicodeString->Buffer = nullptr;
  UnicodeString->Length = UnicodeString->MaximumLength = 0;
}

VOID RtlFreeAnsiString(PANSI_STRING AnsiString) {
  if (!AnsiString) return;
  if (AnsiString->Buffer) ExFreePool(AnsiString->Buffer);
  AnsiString->Buffer = nullptr;
  AnsiString->Length = AnsiString->MaximumLength = 0;
}

// ---- debug output ------------------------------------------------------------------------
ULONG DbgPrint(PCSTR Format, ...) {
  if (!Format) return STATUS_SUCCESS;
  va_list ap;
  va_start(ap, Format);
  const std::string text = FormatKernel(Format, ap);
  va_end(ap);
  DebugState& debug = Debug();
  std::lock_guard<std::recursive_mutex> guard(debug.lock);
  // One sink call per line; a text without a final newline still is a line.
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(begin, end - begin);
    if (debug.haveSink)
      debug.sink(line);
    else
      DefaultSink(line);
    begin = end + 1;
  }
  return STATUS_SUCCESS;
}

// ---- time and delays --------------------------------------------------------------------------
VOID KeQuerySystemTime(PLARGE_INTEGER CurrentTime) {
  if (!CurrentTime) return;
  const int64_t test = g_testClock.load();
  CurrentTime->QuadPart = test >= 0 ? test : HostTime100ns();
}

NTSTATUS KeDelayExecutionThread(KPROCESSOR_MODE WaitMode, BOOLEAN Alertable, PLARGE_INTEGER Interval) {
  if (!Interval) return STATUS_INVALID_PARAMETER;
  int64_t wait100ns;
  if (Interval->QuadPart <= 0) {
    wait100ns = Interval->QuadPart == INT64_MIN ? INT64_MAX : -Interval->QuadPart;
  } else {
    LARGE_INTEGER now;
    KeQuerySystemTime(&now);
    wait100ns = Interval->QuadPart > now.QuadPart ? Interval->QuadPart - now.QuadPart : 0;
  }
  if (wait100ns > 0) {
    // Bounded to a day so that the microsecond count cannot overflow.
    const int64_t day100ns = 864000000000LL;
    if (wait100ns > day100ns) wait100ns = day100ns;
    std::this_thread::sleep_for(std::chrono::microseconds(wait100ns / 10));
  }
  return STATUS_SUCCESS;
}

// ---- rand --------------------------------------------------------------------------------------
extern "C" int rand(void) noexcept {
  uint32_t seed = g_randSeed.load(std::memory_order_relaxed);
  uint32_t next;
  do {
    next = seed * 214013u + 2531011u;
  } while (!g_randSeed.compare_exchange_weak(seed, next, std::memory_order_relaxed));
  return static_cast<int>((next >> 16) & 0x7FFF);
}

extern "C" void srand(unsigned int seed) noexcept { g_randSeed.store(seed, std::memory_order_relaxed); }

// ---- rand_block ----------------------------------------------------------------------------------
// One step of the generator is the affine map s -> 214013 s + 2531011 (mod
// 2^32); k steps are again an affine map s -> A_k s + C_k. The block claims
// its k steps with one compare-and-swap of seed_n to seed_{n+k}, then
// computes seed_{n+1} ... seed_{n+k} from seed_n alone: L lanes start at
// seed_{n+1} ... seed_{n+L} and each lane steps by (A_L, C_L), so the lanes'
// multiply-adds are independent and run side by side instead of as one
// serial chain.
namespace {

struct RandJump {
  uint32_t mul;
  uint32_t add;
  uint32_t Apply(uint32_t seed) const { return mul * seed + add; }
};

// The map that applies `first`, then `then`.
RandJump Then(RandJump first, RandJump then) { return {then.mul * first.mul, then.mul * first.add + then.add}; }

// The jumps over 2^i steps and over 1 ... 32 steps, made once.
struct RandJumps {
  RandJump pow2[32];
  uint32_t firstMul[32];  // A_1 ... A_32
  uint32_t firstAdd[32];  // C_1 ... C_32
};

const RandJumps& Jumps() {
  static const RandJumps jumps = [] {
    RandJumps j{};
    j.pow2[0] = {214013u, 2531011u};
    for (int i = 1; i < 32; ++i) j.pow2[i] = Then(j.pow2[i - 1], j.pow2[i - 1]);
    RandJump k = j.pow2[0];
    for (int i = 0; i < 32; ++i, k = Then(k, j.pow2[0])) j.firstMul[i] = k.mul, j.firstAdd[i] = k.add;
    return j;
  }();
  return jumps;
}

RandJump JumpOf(uint32_t steps) {
  const RandJumps& jumps = Jumps();
  RandJump result{1, 0};
  for (int i = 0; steps != 0; ++i, steps >>= 1)
    if (steps & 1) result = Then(result, jumps.pow2[i]);
  return result;
}

inline USHORT RandValue(uint32_t seed) { return USHORT((seed >> 16) & 0x7FFF); }

// Writes the values of seeds seed_1 ... seed_count after `seed`, one step at a
// time.
void FillPlain(uint32_t seed, USHORT* out, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    seed = seed * 214013u + 2531011u;
    out[i] = RandValue(seed);
  }
}

std::atomic<int> g_randBlockCeiling{2};

#if defined(__x86_64__) || defined(__i386__)
#define QCAM_RAND_VECTORS 1

// The vector fills keep 2L lanes in four vectors of L/2 lanes: vectors odd0
// and even0 hold seed_{2i+1} and seed_{2i+2} (i = 0 ... L/2 - 1), odd1 and
// even1 the same L seeds further on. Each value is bits 16 ... 30 of its
// seed, so the values of an odd and an even vector are the high halves of
// their lanes, interleaved by one blend (odd lane's high half moved down,
// even lane's kept in place) and masked to 15 bits: L values in order.
// Every lane steps by (A_2L, C_2L). They return how many values they wrote
// (a multiple of 2L); the caller finishes the rest.

__attribute__((target("sse4.1"))) uint32_t FillSse41(uint32_t seed, USHORT* out, uint32_t count) {
  if (count < 16) return 0;
  const RandJumps& jumps = Jumps();
  // Lane i of `odd` (`even`) starts at seed_{2i+1} (seed_{2i+2}).
  const __m128i s = _mm_set1_epi32(int(seed));
  const __m128i oddMul = _mm_setr_epi32(int(jumps.firstMul[0]), int(jumps.firstMul[2]), int(jumps.firstMul[4]),
                                        int(jumps.firstMul[6]));
  const __m128i oddAdd = _mm_setr_epi32(int(jumps.firstAdd[0]), int(jumps.firstAdd[2]), int(jumps.firstAdd[4]),
                                        int(jumps.firstAdd[6]));
  const __m128i one = _mm_set1_epi32(int(jumps.pow2[0].mul)), oneAdd = _mm_set1_epi32(int(jumps.pow2[0].add));
  const __m128i eight = _mm_set1_epi32(int(jumps.pow2[3].mul)), eightAdd = _mm_set1_epi32(int(jumps.pow2[3].add));
  __m128i odd0 = _mm_add_epi32(_mm_mullo_epi32(s, oddMul), oddAdd);
  __m128i even0 = _mm_add_epi32(_mm_mullo_epi32(odd0, one), oneAdd);
  __m128i odd1 = _mm_add_epi32(_mm_mullo_epi32(odd0, eight), eightAdd);
  __m128i even1 = _mm_add_epi32(_mm_mullo_epi32(even0, eight), eightAdd);
  const __m128i mul = _mm_set1_epi32(int(jumps.pow2[4].mul)), add = _mm_set1_epi32(int(jumps.pow2[4].add));
  const __m128i mask = _mm_set1_epi16(0x7FFF);
  uint32_t done = 0;
  for (;;) {
    const __m128i v0 = _mm_and_si128(_mm_blend_epi16(_mm_srli_epi32(odd0, 16), even0, 0xAA), mask);
    const __m128i v1 = _mm_and_si128(_mm_blend_epi16(_mm_srli_epi32(odd1, 16), even1, 0xAA), mask);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + done), v0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + done + 8), v1);
    done += 16;
    if (count - done < 16) break;
    odd0 = _mm_add_epi32(_mm_mullo_epi32(odd0, mul), add);
    even0 = _mm_add_epi32(_mm_mullo_epi32(even0, mul), add);
    odd1 = _mm_add_epi32(_mm_mullo_epi32(odd1, mul), add);
    even1 = _mm_add_epi32(_mm_mullo_epi32(even1, mul), add);
  }
  return done;
}

__attribute__((target("avx2"))) uint32_t FillAvx2(uint32_t seed, USHORT* out, uint32_t count) {
  if (count < 32) return 0;
  const RandJumps& jumps = Jumps();
  const __m256i s = _mm256_set1_epi32(int(seed));
  const __m256i oddMul = _mm256_setr_epi32(int(jumps.firstMul[0]), int(jumps.firstMul[2]), int(jumps.firstMul[4]),
                                           int(jumps.firstMul[6]), int(jumps.firstMul[8]), int(jumps.firstMul[10]),
                                           int(jumps.firstMul[12]), int(jumps.firstMul[14]));
  const __m256i oddAdd = _mm256_setr_epi32(int(jumps.firstAdd[0]), int(jumps.firstAdd[2]), int(jumps.firstAdd[4]),
                                           int(jumps.firstAdd[6]), int(jumps.firstAdd[8]), int(jumps.firstAdd[10]),
                                           int(jumps.firstAdd[12]), int(jumps.firstAdd[14]));
  const __m256i one = _mm256_set1_epi32(int(jumps.pow2[0].mul)), oneAdd = _mm256_set1_epi32(int(jumps.pow2[0].add));
  const __m256i step16 = _mm256_set1_epi32(int(jumps.pow2[4].mul));
  const __m256i step16Add = _mm256_set1_epi32(int(jumps.pow2[4].add));
  __m256i odd0 = _mm256_add_epi32(_mm256_mullo_epi32(s, oddMul), oddAdd);
  __m256i even0 = _mm256_add_epi32(_mm256_mullo_epi32(odd0, one), oneAdd);
  __m256i odd1 = _mm256_add_epi32(_mm256_mullo_epi32(odd0, step16), step16Add);
  __m256i even1 = _mm256_add_epi32(_mm256_mullo_epi32(even0, step16), step16Add);
  const __m256i mul = _mm256_set1_epi32(int(jumps.pow2[5].mul)), add = _mm256_set1_epi32(int(jumps.pow2[5].add));
  const __m256i mask = _mm256_set1_epi16(0x7FFF);
  uint32_t done = 0;
  for (;;) {
    const __m256i v0 = _mm256_and_si256(_mm256_blend_epi16(_mm256_srli_epi32(odd0, 16), even0, 0xAA), mask);
    const __m256i v1 = _mm256_and_si256(_mm256_blend_epi16(_mm256_srli_epi32(odd1, 16), even1, 0xAA), mask);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + done), v0);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + done + 16), v1);
    done += 32;
    if (count - done < 32) break;
    odd0 = _mm256_add_epi32(_mm256_mullo_epi32(odd0, mul), add);
    even0 = _mm256_add_epi32(_mm256_mullo_epi32(even0, mul), add);
    odd1 = _mm256_add_epi32(_mm256_mullo_epi32(odd1, mul), add);
    even1 = _mm256_add_epi32(_mm256_mullo_epi32(even1, mul), add);
  }
  return done;
}

int RandBlockLevel() {
  static const int detected = [] {
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) return 2;
    if (__builtin_cpu_supports("sse4.1")) return 1;
    return 0;
  }();
  const int ceiling = g_randBlockCeiling.load(std::memory_order_relaxed);
  return detected < ceiling ? detected : ceiling;
}
#else
#define QCAM_RAND_VECTORS 0
#endif

}  // namespace

extern "C" ULONG rand_claim(ULONG Count) noexcept {
  uint32_t seed = g_randSeed.load(std::memory_order_relaxed);
  if (Count == 0) return seed;
  const RandJump claim = JumpOf(Count);
  while (!g_randSeed.compare_exchange_weak(seed, claim.Apply(seed), std::memory_order_relaxed)) {
  }
  return seed;
}

extern "C" void rand_block(PUSHORT Values, ULONG Count) noexcept {
  if (Count == 0) return;
  uint32_t seed = rand_claim(Count);
  uint32_t done = 0;
#if QCAM_RAND_VECTORS
  const int level = RandBlockLevel();
  if (level == 2) {
    done = FillAvx2(seed, Values, Count);
  } else if (level == 1) {
    done = FillSse41(seed, Values, Count);
  }
  if (done != 0 && done != Count) seed = JumpOf(done).Apply(seed);
#endif
  FillPlain(seed, Values + done, Count - done);
}

namespace platform {
void SetRandBlockCeiling(int level) { g_randBlockCeiling.store(level < 0 ? 0 : level, std::memory_order_relaxed); }
}  // namespace platform

// ---- machine controls that need no registry -----------------------------------------------------------
namespace platform {

void PoolFailAfter(long n) {
  PoolState& pool = Pool();
  std::lock_guard<std::mutex> guard(pool.lock);
  pool.failAfter = n < 0 ? -1 : n;
}

long PoolOutstanding() {
  PoolState& pool = Pool();
  std::lock_guard<std::mutex> guard(pool.lock);
  return static_cast<long>(pool.live.size());
}

void SetSystemTime(int64_t time100ns) { g_testClock.store(time100ns < 0 ? -1 : time100ns); }

void SetDebugSink(std::function<void(const std::string&)> sink) {
  DebugState& debug = Debug();
  std::lock_guard<std::recursive_mutex> guard(debug.lock);
  debug.haveSink = static_cast<bool>(sink);
  debug.sink = std::move(sink);
}

std::string Narrow(const WCHAR* text, size_t count) {
  std::string out;
  if (!text) return out;
  out.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < count && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = '?';
    }
    AppendUtf8(&out, c);
  }
  return out;
}

std::string Narrow(const WCHAR* nulTerminated) {
  return nulTerminated ? Narrow(nulTerminated, WideLength(nulTerminated)) : std::string();
}

std::u16string Widen(const std::string& utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    uint32_t cp;
    size_t n = DecodeUtf8(utf8, i, &cp);
    if (n == 0) {
      cp = static_cast<unsigned char>(utf8[i]);  // Latin-1 for a stray byte
      n = 1;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += n;
  }
  return out;
}

}  // namespace platform
