#include "app/qp_util_app.h"

#include <qpu/version.h>

#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

constexpr char kHelp[] = R"(Usage: qp60util [OPTION]...
Setup utility for the QP-R60 receipt printer: finds the printer on a serial, parallel,
USB, Ethernet or Bluetooth port, shows its identity and status, and reads, changes and
writes back its settings through setting pages. Without options it asks for the printer.

Options (a lower-case letter after / or -, its value right after it):
  /mF<file>       work without a printer; at exit offer to write the prepared settings
                  to <file>
  /mR /r<path>    open the port path directly, without the printer selection dialog
  /mL, /mS, /mC<text>
                  alternative menus
  /mZRD5, /mZRD5_LOGO
                  started by the printer driver: list the system's printer queues
  /p<port>        open the driver printer port (its name contains VSDPRT) directly
  /q<name>        printer preselected in driver mode
  /d<caller>      who started the utility (ZRD, OPOS, ...); then no settings file is kept
  /bM             no single-instance check
  -h, --help      show this text and end
  --version       show the version and end

Values longer than an option's limit are refused with a warning naming the option.
Settings are kept in /var/lib/VORKA/QP60Utl (QP60UTIL_COMMON_APPDATA names another
folder). See qp60util(1).
)";

// --help, -h and --version are answered before any window exists; every other argument
// is the utility's own.
bool AnswerInformationOption(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs("qp60util " QPU_VERSION_TEXT "\n", stdout);
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    if (AnswerInformationOption(argc, argv))
        return std::fflush(stdout) == 0 ? 0 : 1;
    // Under a file-size limit a write that goes beyond it fails with an error, which the
    // file writers report and recover from, instead of ending the program mid-save.
    std::signal(SIGXFSZ, SIG_IGN);
    CQPUtilApp app(argc, argv);
    return app.Run();
}
