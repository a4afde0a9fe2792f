#include "common/Module.h"

Module& module()
{
    static Module state;
    return state;
}
