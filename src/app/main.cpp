#include "app/TolvoApp.h"

int main(int argc, char *argv[])
{
    tolvo::TolvoApp::preferX11();
    tolvo::TolvoApp app(argc, argv);
    return app.run();
}
