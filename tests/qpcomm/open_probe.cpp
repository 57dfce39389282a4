// Opens a port through libQPComm.so in a process of its own and prints the result of
// QPC_Open as 8 hexadecimal digits: the second process of the port-in-use tests.
// Usage: qpcomm_open_probe <library> <keyword> <port name>
// With $QPCOMM_PROBE_UID set (and run as root) the probe first becomes that user, so that
// tests can see what a user without access to the device gets.
#include <qpu/comm_lib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <grp.h>
#include <string>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <library> <keyword> <port name>\n", argv[0]);
        return 2;
    }
    if (const char* uid = std::getenv("QPCOMM_PROBE_UID"); uid != nullptr && uid[0] != '\0') {
        const auto id = static_cast<uid_t>(std::strtoul(uid, nullptr, 10));
        if (::setgroups(0, nullptr) != 0 || ::setgid(id) != 0 || ::setuid(id) != 0) {
            return 3;
        }
    }
    void* lib = ::dlopen(argv[1], RTLD_NOW);
    if (lib == nullptr) {
        std::fprintf(stderr, "%s\n", ::dlerror());
        return 2;
    }
    auto setPort = reinterpret_cast<QPC_SetPort_t>(::dlsym(lib, "QPC_SetPort"));
    auto open = reinterpret_cast<QPC_Open_t>(::dlsym(lib, "QPC_Open"));
    auto terminate = reinterpret_cast<QPC_Terminate_t>(::dlsym(lib, "QPC_Terminate"));
    if (setPort == nullptr || open == nullptr || terminate == nullptr) {
        return 2;
    }
    PortInfo port{};
    const auto fill = [](QpuChar16* field, const char* text) {
        for (std::size_t i = 0; text[i] != '\0' && i < QPU_TEXT_MAX_CHARS; ++i) {
            field[i] = static_cast<unsigned char>(text[i]);
        }
    };
    fill(port.interfaceKeyword, argv[2]);
    fill(port.portName, argv[3]);
    setPort(&port);
    std::printf("%08X\n", static_cast<unsigned>(open(1)));
    std::fflush(stdout);
    terminate();
    return 0;
}
