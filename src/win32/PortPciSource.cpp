// The configuration ports as a PCI source; port instructions run under a structured-exception frame
// of our own, registered through fs:[0]. Built for i386 only.
#include "win32/PortPciSource.h"

#include <windows.h>

// There is no C runtime and so no __try: the frame is built by hand. GuardedCall saves the
// callee-saved registers, pushes a registration record {next, handler} and calls the function. When
// it faults, the handler puts the stack pointer back on the record and resumes at the recovery
// point, which pops the record and the saved registers and returns 0. Windows 95 dispatches such a
// frame the same way NT does; the image carries no SafeSEH table, so any handler in it is accepted.
extern "C" {
uint32_t QuelmGuardedCall(void (*function)(void*), void* argument);
void QuelmGuardRecovery();
EXCEPTION_DISPOSITION QuelmGuardFaultHandler(EXCEPTION_RECORD* record, void* frame, CONTEXT* context,
                                             void* dispatcherContext);
}

asm(R"(
    .text
    .p2align 2
    .globl _QuelmGuardedCall
_QuelmGuardedCall:
    pushl %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    pushl $_QuelmGuardFaultHandler
    pushl %fs:0
    movl %esp, %fs:0
    pushl 32(%esp)
    call *32(%esp)
    addl $4, %esp
    movl $1, %eax
.LQuelmGuardUnlink:
    popl %fs:0
    addl $4, %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
    .globl _QuelmGuardRecovery
_QuelmGuardRecovery:
    xorl %eax, %eax
    jmp .LQuelmGuardUnlink
)");

namespace {

constexpr DWORD kUnwindingFlags = 0x2 | 0x4;  // EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND

struct PortRequest {
  uint16_t port;
  uint32_t value;
};

void OutDword(void* argument) {
  PortRequest& request = *static_cast<PortRequest*>(argument);
  asm volatile("outl %0, %w1" : : "a"(request.value), "Nd"(request.port));
}

void InDword(void* argument) {
  PortRequest& request = *static_cast<PortRequest*>(argument);
  uint32_t value;
  asm volatile("inl %w1, %0" : "=a"(value) : "Nd"(request.port));
  request.value = value;
}

void InByte(void* argument) {
  PortRequest& request = *static_cast<PortRequest*>(argument);
  uint8_t value;
  asm volatile("inb %w1, %0" : "=a"(value) : "Nd"(request.port));
  request.value = value;
}

}  // namespace

// Only port instructions run under the frame, so whatever reaches it is the system refusing them
// (privileged instruction under NT, access violation under some emulations): every code is taken.
extern "C" __attribute__((used)) EXCEPTION_DISPOSITION QuelmGuardFaultHandler(EXCEPTION_RECORD* record,
                                                                              void* frame, CONTEXT* context,
                                                                              void* /*dispatcherContext*/) {
  if ((record->ExceptionFlags & kUnwindingFlags) != 0) return ExceptionContinueSearch;
  context->Esp = reinterpret_cast<DWORD>(frame);
  context->Eip = reinterpret_cast<DWORD>(&QuelmGuardRecovery);
  return ExceptionContinueExecution;
}

namespace quelm {

bool GuardedPortBus::Write32(uint16_t port, uint32_t value) {
  PortRequest request = {port, value};
  return QuelmGuardedCall(&OutDword, &request) != 0;
}

bool GuardedPortBus::Read32(uint16_t port, uint32_t& value) {
  PortRequest request = {port, 0};
  if (QuelmGuardedCall(&InDword, &request) == 0) return false;
  value = request.value;
  return true;
}

bool GuardedPortBus::Read8(uint16_t port, uint8_t& value) {
  PortRequest request = {port, 0};
  if (QuelmGuardedCall(&InByte, &request) == 0) return false;
  value = static_cast<uint8_t>(request.value);
  return true;
}

bool PortPciSource::Detect() {
  VersionRecord version;
  platform_.ReadVersion(version);
  return version.platformId == kWindows9xPlatform && mechanism_.IsPresent();
}

PciAnswer PortPciSource::Read(uint32_t bus, uint32_t device, uint32_t function, uint32_t& identification) {
  return mechanism_.ReadIdentification(bus, device, function, identification) ? PciAnswer::kPresent
                                                                              : PciAnswer::kUnreachable;
}

}  // namespace quelm
