// The SIGBUS handler and its table of guarded address ranges, read with
// atomic loads only, so that the handler may run at any moment.
#include "runtime/mapped_file_guard.hpp"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdint>

namespace xrd {

namespace {

constexpr int kGuards = 64;
std::atomic<std::uintptr_t> guard_begin[kGuards];
std::atomic<std::uintptr_t> guard_end[kGuards];
std::atomic<bool> guard_shrank[kGuards];
std::uintptr_t page_size = 4096;

void OnBusError(int signal_number, siginfo_t* info, void*) {
  const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(info->si_addr);
  for (int i = 0; i < kGuards; ++i) {
    if (address >= guard_begin[i].load() && address < guard_end[i].load()) {
      void* page = reinterpret_cast<void*>(address & ~(page_size - 1));
      if (mmap(page, page_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) {
        guard_shrank[i].store(true);
        return;
      }
      break;
    }
  }
  // Not a guarded mapping: the fault is the program's own; let it kill.
  std::signal(signal_number, SIG_DFL);
}

void InstallBusErrorHandler() {
  static const bool installed = [] {
    page_size = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    return sigaction(SIGBUS, &action, nullptr) == 0;
  }();
  (void)installed;
}

}  // namespace

int GuardMapping(void* begin, std::size_t length) {
  InstallBusErrorHandler();
  const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(begin);
  for (int i = 0; i < kGuards; ++i) {
    std::uintptr_t expected = 0;
    if (guard_begin[i].compare_exchange_strong(expected, start)) {
      guard_shrank[i].store(false);
      guard_end[i].store(start + length);
      return i;
    }
  }
  return kNoGuard;
}

void UnguardMapping(int guard) {
  if (guard == kNoGuard) return;
  guard_end[guard].store(0);
  guard_begin[guard].store(0);
}

bool GuardedFileShrank(int guard) { return guard != kNoGuard && guard_shrank[guard].load(); }

}  // namespace xrd
