// A process with a known name for the running-process rule: the tests copy it under the names they need,
// start it and end it by its handle.
#include <windows.h>

int main() {
    Sleep(120000);
    return 0;
}
