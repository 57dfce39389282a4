#include "app/qp_util_app.h"

#include <csignal>

int main(int argc, char* argv[])
{
    // Under a file-size limit a write that goes beyond it fails with an error, which the
    // file writers report and recover from, instead of ending the program mid-save.
    std::signal(SIGXFSZ, SIG_IGN);
    CQPUtilApp app(argc, argv);
    return app.Run();
}
