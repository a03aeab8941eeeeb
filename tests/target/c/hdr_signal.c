/* globals: stop_requested; functions: on_signal install_handler */
#include <signal.h>
volatile sig_atomic_t stop_requested;
void on_signal(int sig) { stop_requested = 1; }
int install_handler(int sig) { struct sigaction sa; sa.sa_handler = on_signal; return sigaction(sig, &sa, 0); }
