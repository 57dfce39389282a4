// A second copy of the program, as far as the single-instance services go. Modes:
//   try   take the lock; if another copy holds it, ask that copy to come to the front.
//         Exit 0: got the lock; 3: refused and the running copy confirmed the request;
//         4: refused and nobody confirmed; 5: the lock file could not be opened.
//   hold  take the lock, write "locked" to stdout and keep it until killed (exit 6 if
//         the lock was not free).
#include "platform/activation_channel.h"
#include "platform/single_instance_lock.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

int main(int argc, char** argv)
{
    const bool hold = argc > 1 && std::strcmp(argv[1], "hold") == 0;
    platform::SingleInstanceLock lock;
    if (hold) {
        if (!lock.acquired())
            return 6;
        std::puts("locked");
        std::fflush(stdout);
        for (;;)
            ::pause();
    }
    switch (lock.state()) {
    case platform::SingleInstanceLock::State::Acquired:
        return 0;
    case platform::SingleInstanceLock::State::AlreadyRunning:
        return platform::RequestActivation() ? 3 : 4;
    case platform::SingleInstanceLock::State::Failed:
        break;
    }
    return 5;
}
