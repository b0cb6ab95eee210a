#include "files/temporaryname.h"

#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <climits>
#include <cstring>

namespace {

// One path a signal is to remove. `state` tells who may touch `path`: a slot is taken to be
// filled, and the handler takes an armed one before it reads the path, so that no thread can
// empty and refill it meanwhile.
struct Slot
{
    enum : int
    {
        Free,
        Taken, // being filled, or being removed by the handler
        Armed,
    };
    std::atomic<int> state{Free};
    char path[PATH_MAX];
};

// As many files as a batch writes at once, with room to spare.
std::array<Slot, 64> slots;
static_assert(std::atomic<int>::is_always_lock_free, "the handler reads the flags");

extern "C" void removeTemporariesAndStop(int signalNumber)
{
    for (Slot &slot : slots) {
        int expected = Slot::Armed;
        if (slot.state.compare_exchange_strong(expected, Slot::Taken))
            ::unlink(slot.path);
    }
    // The handler was installed to run once: the signal, blocked until it returns, then ends the
    // program with its own status.
    ::raise(signalNumber);
}

int arm(const std::string &path)
{
    if (path.size() >= PATH_MAX)
        return -1;
    for (size_t index = 0; index < slots.size(); ++index) {
        int expected = Slot::Free;
        if (slots[index].state.compare_exchange_strong(expected, Slot::Taken)) {
            std::memcpy(slots[index].path, path.c_str(), path.size() + 1);
            slots[index].state.store(Slot::Armed);
            return int(index);
        }
    }
    return -1;
}

} // namespace

TemporaryName::TemporaryName(const std::string &path) : slot(arm(path)) {}

TemporaryName::~TemporaryName()
{
    release();
}

TemporaryName::TemporaryName(TemporaryName &&other) noexcept : slot(other.slot)
{
    other.slot = -1;
}

TemporaryName &TemporaryName::operator=(TemporaryName &&other) noexcept
{
    if (this != &other) {
        release();
        slot = other.slot;
        other.slot = -1;
    }
    return *this;
}

// A slot the handler has taken is left to it: the program is ending.
void TemporaryName::release()
{
    if (slot >= 0) {
        int expected = Slot::Armed;
        slots[size_t(slot)].state.compare_exchange_strong(expected, Slot::Free);
    }
    slot = -1;
}

void removeTemporariesOnSignals()
{
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        struct sigaction current;
        if (::sigaction(signalNumber, nullptr, &current) != 0 || current.sa_handler == SIG_IGN)
            continue;
        struct sigaction handler = {};
        handler.sa_handler = removeTemporariesAndStop;
        sigemptyset(&handler.sa_mask);
        handler.sa_flags = SA_RESETHAND;
        ::sigaction(signalNumber, &handler, nullptr);
    }
}
