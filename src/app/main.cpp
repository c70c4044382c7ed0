#include "app/TolvoApplication.h"

int main(int argc, char *argv[])
{
    tolvo::TolvoApplication::preferX11();
    tolvo::TolvoApplication app(argc, argv);
    return app.run();
}
