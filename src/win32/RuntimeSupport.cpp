// The few routines the compiler may call on its own, since no C runtime or libgcc is linked.
#include <stddef.h>
#include <stdint.h>

extern "C" {

// Byte loops on purpose: the buffers are small, and the build forbids the compiler to turn these loops
// back into calls to themselves (-fno-tree-loop-distribute-patterns).
void* memset(void* destination, int value, size_t count) {
  unsigned char* at = static_cast<unsigned char*>(destination);
  while (count-- > 0) *at++ = static_cast<unsigned char>(value);
  return destination;
}

void* memcpy(void* destination, const void* source, size_t count) {
  unsigned char* to = static_cast<unsigned char*>(destination);
  const unsigned char* from = static_cast<const unsigned char*>(source);
  while (count-- > 0) *to++ = *from++;
  return destination;
}

void* memmove(void* destination, const void* source, size_t count) {
  unsigned char* to = static_cast<unsigned char*>(destination);
  const unsigned char* from = static_cast<const unsigned char*>(source);
  if (to < from) {
    while (count-- > 0) *to++ = *from++;
  } else {
    while (count-- > 0) to[count] = from[count];
  }
  return destination;
}

int memcmp(const void* left, const void* right, size_t count) {
  const unsigned char* a = static_cast<const unsigned char*>(left);
  const unsigned char* b = static_cast<const unsigned char*>(right);
  for (; count > 0; --count, ++a, ++b) {
    if (*a != *b) return *a < *b ? -1 : 1;
  }
  return 0;
}

// Reached only through a broken object; stopping at once is better than running on.
void __cxa_pure_virtual() {  // NOLINT(bugprone-reserved-identifier): the name the compiler calls
  __builtin_trap();
}

}  // extern "C"

// The stack probe GCC calls before a frame larger than a page (the frame size in EAX or RAX; the caller
// moves the stack pointer itself). Windows grows a thread's stack one guard page at a time, so every
// page of a big frame must be touched in order from the top, or the first touch beyond the guard page
// is an access violation. The 64-bit variant serves only the test build.
#if defined(__i386__)
asm(R"(
    .text
    .p2align 2
    .globl ___chkstk_ms
___chkstk_ms:
    pushl %ecx
    pushl %eax
    leal 12(%esp), %ecx
.LQuelmProbePage:
    cmpl $0x1000, %eax
    jb .LQuelmProbeLast
    subl $0x1000, %ecx
    orl $0, (%ecx)
    subl $0x1000, %eax
    jmp .LQuelmProbePage
.LQuelmProbeLast:
    subl %eax, %ecx
    orl $0, (%ecx)
    popl %eax
    popl %ecx
    ret
)");
#elif defined(__x86_64__)
asm(R"(
    .text
    .p2align 4
    .globl ___chkstk_ms
___chkstk_ms:
    pushq %rcx
    pushq %rax
    leaq 24(%rsp), %rcx
.LQuelmProbePage:
    cmpq $0x1000, %rax
    jb .LQuelmProbeLast
    subq $0x1000, %rcx
    orq $0, (%rcx)
    subq $0x1000, %rax
    jmp .LQuelmProbePage
.LQuelmProbeLast:
    subq %rax, %rcx
    orq $0, (%rcx)
    popq %rax
    popq %rcx
    ret
)");
#else
#error "QUELM.EXE is built for i386 (and, for tests, x86_64) only"
#endif
