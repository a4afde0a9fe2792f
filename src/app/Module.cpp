#include "app/Module.h"

Module& module()
{
    static Module state;
    return state;
}
