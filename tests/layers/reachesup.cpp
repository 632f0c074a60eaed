// Must not compile: the export library is below the desktop one, so its
// include path holds no "desktop/" folder (tst_layers_include).
#include "desktop/clipboard.h"

int main()
{
    return 0;
}
