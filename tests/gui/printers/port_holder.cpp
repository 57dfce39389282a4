// Holds a port open through libQPComm.so in a process of its own until its standard input
// closes: the other application of the port-in-use tests. Prints the result of QPC_Open
// as 8 hexadecimal digits once the port is held.
// Usage: printer_select_port_holder <library> <keyword> <port name>
#include <qpu/comm_lib.h>

#include <cstdio>
#include <dlfcn.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <library> <keyword> <port name>\n", argv[0]);
        return 2;
    }
    void* lib = ::dlopen(argv[1], RTLD_NOW);
    if (lib == nullptr) {
        std::fprintf(stderr, "%s\n", ::dlerror());
        return 2;
    }
    auto setPort = reinterpret_cast<QPC_SetPort_t>(::dlsym(lib, "QPC_SetPort"));
    auto open = reinterpret_cast<QPC_Open_t>(::dlsym(lib, "QPC_Open"));
    auto close = reinterpret_cast<QPC_Close_t>(::dlsym(lib, "QPC_Close"));
    auto terminate = reinterpret_cast<QPC_Terminate_t>(::dlsym(lib, "QPC_Terminate"));
    if (!setPort || !open || !close || !terminate) {
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
    char buffer[64];
    while (::read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
    }
    close();
    terminate();
    return 0;
}
