#include "app/app.h"

int32_t slate_main()
{
    return 0;
}
