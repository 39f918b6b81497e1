// Controls of the simulated machine behind the kernel and Win32 stand-ins:
// which PC root folder they work on, and the knobs tests use to inject
// failures and to watch what the package touched. Never called by a
// deliverable; only by sim/, tools/, tests/, bench/ and fuzz/. Plain C++ types
// only, so that the kernel and the user-mode stand-ins can both include it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>


namespace platform {

// Selects the PC root folder (created if missing, with its Windows,
// Windows/System32 and C folders) and loads ROOT/registry.reg when present
// (without it the registry is empty); an empty string means a memory-only machine with an empty
// registry and no file system (files fail with STATUS_OBJECT_PATH_NOT_FOUND).
// Returns false when the folder cannot be created or the registry file cannot
// be parsed (the registry is then empty).
bool SetRoot(const std::string& root);
const std::string& Root();
// Maps a kernel path ("\SystemRoot\Snap.dat", "\DosDevices\C:\x.bmp",
// "\??\C:\x") to a host path below the root; false for any other path.
bool MapKernelPath(const std::string& kernelPath, std::string* hostPath);

// Memory-only registry for tests: clears everything and detaches from files;
// also resets the access counters, the pool and thread failure injection and
// the test clock.
void ResetMachine();

// Pool: after `n` more successful allocations every allocation fails;
// a negative n switches failures off (the default).
void PoolFailAfter(long n);
// Number of pool blocks allocated and not yet freed.
long PoolOutstanding();

// Threads: after `n` more successful PsCreateSystemThread calls, creation
// fails; negative switches failures off. WaitForSystemThreads joins every
// system thread that has ended or ends within the timeout.
void ThreadsFailAfter(long n);
bool WaitForSystemThreads(unsigned timeoutMs);

// Test clock for KeQuerySystemTime: a non-negative value is returned as is;
// a negative value returns to the real clock.
void SetSystemTime(int64_t time100ns);

// Debug output: every DbgPrint line goes to the sink, one call per line
// without its newline (a text that does not end in a newline still makes a
// line); calls are serialised. The default writes to stderr when the
// environment variable QCAM_DEBUG is set and drops it otherwise; an empty
// function restores the default.
void SetDebugSink(std::function<void(const std::string&)> sink);

// Counters of registry and file accesses made through the kernel routines
// (RtlQueryRegistryValues, RtlWriteRegistryValue, ZwCreateFile).
struct AccessCounters {
  uint64_t registryReads = 0;
  uint64_t registryWrites = 0;
  uint64_t fileOpens = 0;
};
AccessCounters Counters();

// Direct registry access for tools and tests, by either view of a path
// ("\Registry\MACHINE\SOFTWARE\X" or "HKEY_LOCAL_MACHINE\SOFTWARE\X");
// key and value names ignore case, values keep the case they were written
// with. Every change is saved to ROOT/registry.reg (temporary file, rename).
bool RegCreateKeyPath(const std::string& keyPath);
bool RegKeyExists(const std::string& keyPath);
bool RegDeleteKeyPath(const std::string& keyPath);  // with its subkeys
bool RegSetDword(const std::string& keyPath, const std::string& name, uint32_t value);
bool RegGetDword(const std::string& keyPath, const std::string& name, uint32_t* value);
bool RegSetString(const std::string& keyPath, const std::string& name, const std::string& value);
bool RegGetString(const std::string& keyPath, const std::string& name, std::string* value);
bool RegDeleteValue(const std::string& keyPath, const std::string& name);
// The names of a key's subkeys and of its values, as written, in the order
// of their names without regard to case; false when the key does not exist.
bool RegListSubkeys(const std::string& keyPath, std::vector<std::string>* names);
bool RegListValues(const std::string& keyPath, std::vector<std::string>* names);

// The registry text format: parse a "Windows Registry Editor Version 5.00"
// file into the machine's registry (replacing it), and render the registry as
// such a file. Parse never crashes on bad text: it returns false with a reason
// and leaves the registry unchanged.
bool ParseRegistryText(const std::string& text, std::string* error);
std::string RenderRegistryText();

// Raw access to one value of any type, for the Win32 registry calls. String
// types (REG_SZ, REG_EXPAND_SZ) hold UTF-8 text without a terminator; a
// REG_DWORD holds four little-endian bytes. RegSetRaw creates no keys.
bool RegSetRaw(const std::string& keyPath, const std::string& name, uint32_t type, const std::vector<uint8_t>& data);
bool RegGetRaw(const std::string& keyPath, const std::string& name, uint32_t* type, std::vector<uint8_t>* data);

// Text conversions between the package's WCHAR strings and the host's UTF-8
// (which also serves as the "ANSI" code page of the simulated machine). Bytes
// that are not valid UTF-8 are taken as Latin-1 characters; unpaired
// surrogates become '?'.
std::string Narrow(const char16_t* text, size_t count);
std::string Narrow(const char16_t* nulTerminated);
std::u16string Widen(const std::string& utf8);

// Highest instruction set rand_block may use to compute its values: 0 plain,
// 1 up to SSE4.1, 2 up to AVX2 (the default: whatever the processor has).
// Lets tests compare every path with rand().
void SetRandBlockCeiling(int level);

// Hooks shared between the stand-in's own source files; not for callers.
namespace internal {
void CountFileOpen();
std::string CurrentRoot();  // a copy taken under the machine's lock
bool CloseThreadHandle(void* handle);  // true when `handle` was a live thread handle
void ResetPcSettings();  // back to the defaults of a new memory-only PC
}  // namespace internal

}  // namespace platform
