#include <windows.h>

#include "CTsumugiya_App.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return tsumugiya::win::CTsumugiya_App().InitInstance();
}
