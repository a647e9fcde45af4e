#include "ClistApp.h"

int main(int argc, char** argv) {
    sorrelbox::ClistApp app;
    return app.Run(argc, argv);
}
