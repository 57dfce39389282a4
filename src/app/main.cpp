#include "app/qp_util_app.h"

int main(int argc, char* argv[])
{
    CQPUtilApp app(argc, argv);
    return app.Run();
}
