/* globals: g_workers g_owner; functions: join_worker */
#include <thread>

unsigned g_workers;
std::thread::id g_owner;

bool join_worker(std::thread &worker)
{
    if (!worker.joinable()) return false;
    g_owner = worker.get_id();
    worker.join();
    --g_workers;
    return true;
}
