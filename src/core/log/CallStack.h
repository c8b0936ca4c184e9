#pragma once
// Call stacks of the report: walked with the unwinder, resolved with
// backward-cpp and libdw, written in the report's line form.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <ucontext.h>

namespace bram {

struct CStackWord {
    std::uintptr_t value = 0;
    std::optional<std::uintptr_t> target; // the word it points to, when readable
};

struct CStackFrame {
    std::uintptr_t address = 0;  // the program counter or return address
    std::uintptr_t frameTop = 0; // the stack address just above the return address
    bool returnAddress = true;   // false for the interrupted instruction of a signal
    std::string module;          // full path; empty when unknown
    std::string symbol;          // demangled; empty when unknown
    std::uintptr_t displacement = 0;
    // Section number (from 1) and offset when the module is known but the symbol is not.
    int section = 0;
    std::uintptr_t sectionOffset = 0;
    std::vector<CStackWord> arguments;
    std::string sourceFile;
    int line = 0;
    std::uintptr_t lineDisplacement = 0;
};

// Frames of the calling thread, the caller of CaptureCallStack first, after
// dropping `skip` more.
std::vector<CStackFrame> CaptureCallStack(int skip);
// Frames of the interrupted code of a signal handler: the faulting frame first.
// Empty when the walk does not reach it.
std::vector<CStackFrame> CaptureCallStackFromSignal(const ucontext_t& context);
// Fills module, symbol, section and source place of each frame.
void ResolveCallStack(std::vector<CStackFrame>& frames);

// The whole section: "Callstack:\n", one line per frame and a closing "\n";
// "Unknown!Unknown\n" when there is no frame.
std::string FormatCallStack(const std::vector<CStackFrame>& frames);
std::string FormatStackFrame(const CStackFrame& frame);

// Reads a word of our own memory without faulting.
std::optional<std::uintptr_t> ReadWordSafely(std::uintptr_t address);
// Copies as much of [address, address + size) as is readable from its start.
std::size_t ReadMemorySafely(std::uintptr_t address, void* buffer, std::size_t size);
// The same through a pipe; ReadMemorySafely falls back to it where reading
// our own memory with process_vm_readv is refused.
std::size_t ReadMemoryThroughPipe(std::uintptr_t address, void* buffer, std::size_t size);

struct CContextPointers {
    std::uintptr_t programCounter = 0;
    std::uintptr_t stackPointer = 0;
    std::uintptr_t framePointer = 0;
};
// The three pointers of a thread context; zero where the platform is unknown.
CContextPointers ContextPointers(const ucontext_t& context);

} // namespace bram
