// Stand-in for the mix lock until the timers module that owns it is built.
#include <mutex>

std::recursive_mutex g_csMix;
