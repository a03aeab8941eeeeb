/* globals: ready; functions: toggle */
#include <stdbool.h>
bool ready;
bool toggle(bool value) { return !value; }
