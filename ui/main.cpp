#include "CTsumugiya_App.h"

int main(int argc, char** argv) {
    return tsumugiya::ui::CTsumugiya_App().InitInstance(argc, argv);
}
