// qpr60-emulator: a QP-R60 receipt printer for tests and demonstrations.
#include "emulator.h"

#include <qpu/version.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr char kHelp[] = R"(Usage: qpr60-emulator [OPTION]...
A QP-R60 receipt printer in software. It answers the ESC/VRK command subset on TCP
sockets and pseudo-terminals, keeps its settings, sends automatic status back, answers
discovery and takes fault commands on a control channel. It runs until killed (SIGTERM,
SIGINT) or until the control command "quit".

Endpoints:
  --tcp ADDRESS:PORT     listen for TCP clients there (repeatable; numeric address,
                         [IPv6]:PORT allowed; port 0 picks a free port). Several clients
                         at once, each with its own session.
  --pty LINKPATH         serve a pseudo-terminal in raw mode and link LINKPATH to it
                         (repeatable; an existing link is replaced, removed at the end)
  --discovery ADDRESS:PORT
                         answer UDP discovery requests there (repeatable; port 0 picks one)
  --control PATH         take control commands, one per line, on a Unix socket at PATH
  --stdin-control        also take control commands on standard input (answers on
                         standard output)

Identity:
  --model NAME           model name (default "QP-R60")
  --serial TEXT          serial number (default "QPR6000001")
  --firmware TEXT        firmware text (default "ESC/VRK-A Ver.1.00")
  --maker TEXT           maker (default "VORKA")
  --charset TEXT         character set name (default "South Asia")
  --model-id N           model ID byte answered to 1D 49 01 (0..255, default 96 = 0x60)

Behaviour and files:
  --state FILE           keep customized values and memory switches in FILE (read at
                         start, rewritten atomically after every change; a corrupt file
                         stops the start and is left untouched)
  --log FILE             append every byte received and sent, with UTC time and session
  --restart-ms MS        how long the printer restarts after leaving the user-setting
                         mode (default 300)
  --strict-user-mode     ignore setting and reading customized values and memory
                         switches outside the user-setting mode
  --help                 show this text and end
  --version              show the version and end

Start-up: once every endpoint is open it writes "listening tcp ADDRESS:PORT",
"listening pty LINK DEVICE", "listening control PATH", "listening discovery ADDRESS:PORT"
and then "ready" on standard output. Errors go to standard error; exit code 2.

Printer commands (answers are written whole; automatic status never splits an answer):
  1D 49 n                n = 41 firmware, 42 maker, 43 model, 44 serial, 45 character
                         set: 5F text 00; n = 01 (or 31) model ID: one byte
  10 04 n                real-time status, n = 1..8, one byte 0xx1xx10:
                         1 printer (bit 3 offline, 5 waiting for recovery, 6 feeding)
                         2 offline cause (2 cover, 3 feeding, 5 paper end, 6 error)
                         3 error cause (2 recoverable, 3 cutter, 5 fatal, 6 auto-recoverable)
                         4 roll paper, 5 journal (bits 2+3 near-end, 5+6 end)
                         6 other (2 awaiting removal, 3 cleaning, 5 paper layout error)
                         7, 8 ink cartridge 1, 2 (2 near-end, 3 out, 5 no cartridge)
  1D 72 n                transmit status, n = 1 (or 31) paper sensor: one byte laid out
                         as real-time status 4
  1D 61 n                automatic status on (n != 0) / off: 4 bytes now and on every
                         change; byte 1 is 0xx1xx00, bytes 2-4 are 0xx0xxxx:
                         1: bit 2 waiting for recovery, 3 offline, 5 cover, 6 feeding
                         2: bit 0 cleaning, 1 awaiting removal, 2 recoverable error,
                            3 cutter error, 5 fatal error, 6 auto-recoverable error
                         3: bits 0+1 paper near-end, 0..3 paper end, bit 5 journal
                            near-end, 5+6 journal end
                         4: bits 0-1 ink 1, 2-3 ink 2 (0 ok, 1 near-end, 2 out, 3 no
                            cartridge), bit 5 paper layout error
  1D 28 45 03 00 01 49 4E          enter user-setting mode: 37 20 00
  1D 28 45 04 00 02 4F 55 54       leave it: the printer restarts (TCP connections close,
                                   offline and deaf for --restart-ms)
  1D 28 45 04 00 05 a vL vH        set customized value a
  1D 28 45 02 00 06 a              transmit it: 37 27 decimal(a) 1F decimal(value) 00
  1D 28 45 02 00 04 a              transmit memory switch a (1..8): 37 21 8 x 0/1 00
  1D 28 45 0A 00 03 a d1..d8       set memory switch a; d = 0, 1, or 2 (keep); d1 = bit 1
  anything else          printed: consumed, counted, not answered
The offline bit is also set by cover, paper or journal end, any error, feeding, waiting
for recovery or removal, a layout error and a restart.

Status codes ("status" shows code= and lasting=): the first that holds of fatal 3,
recoverable 4, cutter 9, auto-recoverable 5, cover 6, paper end 7, journal end 8, layout
22, removal 17, feeding 14, waiting for recovery 16, offline 1, paper near-end 18,
journal near-end 19, else online 0; no answer at all is 2. Lasting (lowest wins): no
cartridge 1/2 10/11, out of ink 1/2 12/13, cleaning 15, ink near-end 1/2 20/21.

Control commands (one answer line each: OK, OK <data> or ERR <reason>):
  offline on|off   cover open|close   paper end|near|ok   journal end|near|ok
  cutter error|ok  fatal on|off       recoverable on|off  autorecover on|off
  feed on|off      recovery on|off    removal on|off      layout on|off
  cleaning on|off  ink 1|2 ok|near|out|none
  code N           set exactly the conditions of status code N (0..22; 2 = silent)
  clear            clear every condition, silence, slowness, garbage, split, truncate
  silent on|off    answer nothing at all
  slow MS          delay every answer by MS milliseconds
  split on|off     write answers one byte per write
  garbage on|off   replace every answer by bytes >= 80 (at least 4)
  truncate on|off  send only the first half of every answer (rounded down)
  drop             close TCP connections, hang up and re-create pseudo-terminals
  model|serial|firmware|maker|charset [TEXT]   read or change the identity
  modelid [N]      read or change the model ID byte
  discovery on|off answer discovery or not
  send HEX         send raw bytes to every session
  custom A [V]     read or set customized value A;  memsw A [BITS]  the same for switches
  status           the whole state as key=value fields
  log              hex of every byte received since start or "log clear";  log clear
  quit             end

Discovery: a UDP datagram beginning with "VRKDISCOVER" is answered, to its sender only,
with "VRKPRINTER" and lines model=, maker=, serial=, firmware=, charset=, modelid=,
address=, port= (the first TCP listener).

emulator/README.md in the source tree tells more.
)";

[[noreturn]] void fail(const std::string& message)
{
    std::fprintf(stderr, "qpr60-emulator: %s\nTry 'qpr60-emulator --help'.\n", message.c_str());
    std::exit(2);
}

int parseNumber(const std::string& option, const char* text, int min, int max)
{
    int value = 0;
    const char* end = text + std::strlen(text);
    const auto [ptr, ec] = std::from_chars(text, end, value);
    if (ec != std::errc() || ptr != end || value < min || value > max)
        fail(option + ": expected a number from " + std::to_string(min) + " to " +
             std::to_string(max) + ", got \"" + text + "\"");
    return value;
}

std::string identityText(const std::string& option, const char* text)
{
    const std::string value = text;
    if (value.empty() || value.size() > 80)
        fail(option + ": expected 1 to 80 characters");
    for (const char c : value)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            fail(option + ": control characters are not allowed");
    return value;
}

qpr60::EmulatorOptions parseOptions(int argc, char** argv)
{
    qpr60::EmulatorOptions options;
    bool anyEndpoint = false;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            std::fputs(kHelp, stdout);
            std::exit(0);
        }
        if (option == "--version") {
            std::fputs("qpr60-emulator " QPU_VERSION_TEXT "\n", stdout);
            std::exit(0);
        }
        if (option == "--stdin-control") {
            options.stdinControl = true;
            anyEndpoint = true;
            continue;
        }
        if (option == "--strict-user-mode") {
            options.strictUserMode = true;
            continue;
        }
        if (i + 1 >= argc)
            fail(option.rfind("--", 0) == 0 ? option + " needs a value"
                                            : "unknown argument \"" + option + "\"");
        const char* value = argv[++i];
        if (option == "--tcp") {
            options.tcpAddresses.push_back(value);
            anyEndpoint = true;
        } else if (option == "--pty") {
            options.ptyLinks.push_back(value);
            anyEndpoint = true;
        } else if (option == "--discovery") {
            options.discoveryAddresses.push_back(value);
        } else if (option == "--control") {
            options.controlPath = value;
            anyEndpoint = true;
        } else if (option == "--model") {
            options.identity.model = identityText(option, value);
        } else if (option == "--serial") {
            options.identity.serial = identityText(option, value);
        } else if (option == "--firmware") {
            options.identity.firmware = identityText(option, value);
        } else if (option == "--maker") {
            options.identity.maker = identityText(option, value);
        } else if (option == "--charset") {
            options.identity.charset = identityText(option, value);
        } else if (option == "--model-id") {
            options.identity.modelId = static_cast<uint8_t>(parseNumber(option, value, 0, 255));
        } else if (option == "--state") {
            options.statePath = value;
        } else if (option == "--log") {
            options.logPath = value;
        } else if (option == "--restart-ms") {
            options.restartMs = parseNumber(option, value, 0, 600000);
        } else {
            fail("unknown option \"" + option + "\"");
        }
    }
    if (!anyEndpoint && options.discoveryAddresses.empty())
        fail("nothing to serve: give --tcp, --pty, --discovery, --control or --stdin-control");
    return options;
}

} // namespace

int main(int argc, char** argv)
{
    qpr60::Emulator emulator(parseOptions(argc, argv));
    std::string error;
    if (!emulator.open(error)) {
        std::fprintf(stderr, "qpr60-emulator: %s\n", error.c_str());
        return 2;
    }
    return emulator.run();
}
